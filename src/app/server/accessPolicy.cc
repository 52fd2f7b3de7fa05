#include "app/server/accessPolicy.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "app/server/requestAdapter.h"

namespace corvane {
namespace {

// Operations of a print client: jobs in, status out.
constexpr std::array<ipp_op_t, 18> printingOperations = {
    IPP_OP_PRINT_JOB, IPP_OP_PRINT_URI, IPP_OP_VALIDATE_JOB, IPP_OP_CREATE_JOB, IPP_OP_SEND_DOCUMENT,
    IPP_OP_SEND_URI, IPP_OP_CLOSE_JOB, IPP_OP_GET_JOBS, IPP_OP_GET_JOB_ATTRIBUTES,
    IPP_OP_GET_PRINTER_ATTRIBUTES, IPP_OP_GET_PRINTER_SUPPORTED_VALUES, IPP_OP_CUPS_GET_DEFAULT,
    IPP_OP_CREATE_JOB_SUBSCRIPTIONS, IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS,
    IPP_OP_GET_SUBSCRIPTION_ATTRIBUTES, IPP_OP_GET_SUBSCRIPTIONS, IPP_OP_RENEW_SUBSCRIPTION,
    IPP_OP_GET_NOTIFICATIONS};

// Operations on one job that its owner may do.
constexpr std::array<ipp_op_t, 3> ownerOperations = {IPP_OP_CANCEL_JOB, IPP_OP_HOLD_JOB,
                                                     IPP_OP_RELEASE_JOB};

template <std::size_t N>
bool among(const std::array<ipp_op_t, N>& operations, ipp_op_t op) {
    return std::ranges::find(operations, op) != operations.end();
}

std::string requestingUser(ipp_t* request) {
    const char* name = ippGetString(ippFindAttribute(request, "requesting-user-name", IPP_TAG_NAME), 0, nullptr);
    return name ? name : "";
}

// An IPP request a print client makes: always allowed.
bool isPrinting(pappl_client_t* client) {
    ipp_t* request = papplClientGetRequest(client);
    if (request == nullptr) return false;  // a web page
    const ipp_op_t op = papplClientGetOperation(client);
    if (among(printingOperations, op)) return true;
    if (!among(ownerOperations, op)) return false;
    // Without a login, the requesting user name is the owner's word.
    pappl_job_t* job = papplClientGetJob(client);
    const char* owner = job ? papplJobGetUsername(job) : nullptr;
    const std::string user = requestingUser(request);
    if (owner == nullptr || user.empty() || user != owner) return false;
    papplClientSetUsername(client, user.c_str());
    return true;
}

// PAM's questions answered with the one password we have.
int answerWithPassword(int count, const pam_message** messages, pam_response** responses, void* password) {
    auto* answers = static_cast<pam_response*>(std::calloc(static_cast<std::size_t>(count), sizeof(pam_response)));
    if (answers == nullptr) return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF || messages[i]->msg_style == PAM_PROMPT_ECHO_ON)
            answers[i].resp = strdup(static_cast<const char*>(password));
    }
    *responses = answers;  // PAM frees them
    return PAM_SUCCESS;
}

class pamSession {
public:
    pamSession(const char* service, const std::string& user, const std::string& password)
        : conversation{answerWithPassword, const_cast<char*>(password.c_str())},
          status(pam_start(service, user.c_str(), &conversation, &handle)) {}
    ~pamSession() { if (handle) pam_end(handle, status); }
    pamSession(const pamSession&) = delete;
    pamSession& operator=(const pamSession&) = delete;

    bool authenticate() {
        if (status == PAM_SUCCESS) status = pam_authenticate(handle, PAM_SILENT);
        if (status == PAM_SUCCESS) status = pam_acct_mgmt(handle, PAM_SILENT);
        return status == PAM_SUCCESS;
    }

private:
    pam_conv conversation;
    pam_handle_t* handle = nullptr;
    int status;
};

bool inGroup(const std::string& user, gid_t group) {
    if (group == static_cast<gid_t>(-1)) return true;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return false;
    if (found->pw_gid == group) return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(user.c_str(), found->pw_gid, groups.data(), &count) < 0) return false;
    groups.resize(static_cast<std::size_t>(count));
    return std::ranges::find(groups, group) != groups.end();
}

// HTTP Basic credentials checked with PAM; 401 asks the client for them.
http_status_t checkLogin(pappl_client_t* client, const char* service, gid_t adminGroup) {
    const char* header = httpGetField(papplClientGetHTTP(client), HTTP_FIELD_AUTHORIZATION);
    constexpr std::string_view basic = "Basic ";
    if (header == nullptr || std::strncmp(header, basic.data(), basic.size()) != 0)
        return HTTP_STATUS_UNAUTHORIZED;
    std::vector<char> decoded(1024);
    int length = static_cast<int>(decoded.size());
    httpDecode64_2(decoded.data(), &length, header + basic.size());
    const std::string credentials(decoded.data(), static_cast<std::size_t>(std::max(length, 0)));
    const auto colon = credentials.find(':');
    if (colon == std::string::npos) return HTTP_STATUS_BAD_REQUEST;
    const std::string user = credentials.substr(0, colon);
    if (!pamSession(service, user, credentials.substr(colon + 1)).authenticate()) {
        papplLogClient(client, PAPPL_LOGLEVEL_INFO, "Login of \"%s\" refused.", user.c_str());
        return HTTP_STATUS_UNAUTHORIZED;
    }
    if (!inGroup(user, adminGroup)) return HTTP_STATUS_FORBIDDEN;
    papplClientSetUsername(client, user.c_str());
    return HTTP_STATUS_CONTINUE;
}

// PAPPL lists network printers through the Avahi daemon's socket.
bool avahiRunning() { return access("/run/avahi-daemon/socket", F_OK) == 0; }

http_status_t authorize(pappl_client_t* client, const char*, gid_t group, void*) {
    adaptClientRequest(client);
    if (papplClientGetOperation(client) == IPP_OP_PAPPL_FIND_DEVICES && !avahiRunning())
        return HTTP_STATUS_NOT_IMPLEMENTED;
    if (isPrinting(client)) return HTTP_STATUS_CONTINUE;
    const char* service = papplSystemGetAuthService(papplClientGetSystem(client));
    if (service == nullptr) {
        // No login possible: administration from this machine only.
        return httpAddrLocalhost(httpGetAddress(papplClientGetHTTP(client))) ? HTTP_STATUS_CONTINUE
                                                                               : HTTP_STATUS_FORBIDDEN;
    }
    return checkLogin(client, service, group);
}

}  // namespace

const char* listenAddress(const char* option) {
    if (option == nullptr) return "localhost";
    return std::strcmp(option, "*") == 0 ? nullptr : option;
}

void applyAccessPolicy(pappl_system_t* system) {
    papplSystemSetAuthCallback(system, "Basic", authorize, nullptr);
}

}  // namespace corvane
