#include "app/devices/snmpSupplies.h"

#include <array>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/devices/printerMib.h"

namespace corvane {
namespace {

constexpr int answerWaitMs = 1000;
constexpr int tries = 2;

// prtMarkerSuppliesType (1 other, 3 toner, 4 wasteToner, ... 34 covers) as PAPPL's types.
pappl_supply_type_t supplyType(long type) {
    static constexpr std::array<pappl_supply_type_t, 32> fromThree = {
        PAPPL_SUPPLY_TYPE_TONER,          PAPPL_SUPPLY_TYPE_WASTE_TONER,     PAPPL_SUPPLY_TYPE_INK,
        PAPPL_SUPPLY_TYPE_INK_CARTRIDGE,  PAPPL_SUPPLY_TYPE_INK_RIBBON,      PAPPL_SUPPLY_TYPE_WASTE_INK,
        PAPPL_SUPPLY_TYPE_OPC,            PAPPL_SUPPLY_TYPE_DEVELOPER,       PAPPL_SUPPLY_TYPE_FUSER_OIL,
        PAPPL_SUPPLY_TYPE_SOLID_WAX,      PAPPL_SUPPLY_TYPE_RIBBON_WAX,      PAPPL_SUPPLY_TYPE_WASTE_WAX,
        PAPPL_SUPPLY_TYPE_FUSER,          PAPPL_SUPPLY_TYPE_CORONA_WIRE,     PAPPL_SUPPLY_TYPE_FUSER_OIL_WICK,
        PAPPL_SUPPLY_TYPE_CLEANER_UNIT,   PAPPL_SUPPLY_TYPE_FUSER_CLEANING_PAD, PAPPL_SUPPLY_TYPE_TRANSFER_UNIT,
        PAPPL_SUPPLY_TYPE_TONER_CARTRIDGE, PAPPL_SUPPLY_TYPE_FUSER_OILER,    PAPPL_SUPPLY_TYPE_WATER,
        PAPPL_SUPPLY_TYPE_WASTE_WATER,    PAPPL_SUPPLY_TYPE_GLUE_WATER_ADDITIVE, PAPPL_SUPPLY_TYPE_WASTE_PAPER,
        PAPPL_SUPPLY_TYPE_BINDING_SUPPLY, PAPPL_SUPPLY_TYPE_BANDING_SUPPLY,  PAPPL_SUPPLY_TYPE_STITCHING_WIRE,
        PAPPL_SUPPLY_TYPE_SHRINK_WRAP,    PAPPL_SUPPLY_TYPE_PAPER_WRAP,      PAPPL_SUPPLY_TYPE_STAPLES,
        PAPPL_SUPPLY_TYPE_INSERTS,        PAPPL_SUPPLY_TYPE_COVERS};
    if (type == 1) return PAPPL_SUPPLY_TYPE_OTHER;
    if (type >= 3 && type < 3 + static_cast<long>(fromThree.size())) return fromThree[static_cast<std::size_t>(type - 3)];
    return PAPPL_SUPPLY_TYPE_UNKNOWN;
}

pappl_supply_color_t supplyColor(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static constexpr std::array<std::pair<const char*, pappl_supply_color_t>, 12> colors = {{
        {"black", PAPPL_SUPPLY_COLOR_BLACK},       {"cyan", PAPPL_SUPPLY_COLOR_CYAN},
        {"magenta", PAPPL_SUPPLY_COLOR_MAGENTA},   {"yellow", PAPPL_SUPPLY_COLOR_YELLOW},
        {"gray", PAPPL_SUPPLY_COLOR_GRAY},         {"grey", PAPPL_SUPPLY_COLOR_GRAY},
        {"lightcyan", PAPPL_SUPPLY_COLOR_LIGHT_CYAN}, {"lightmagenta", PAPPL_SUPPLY_COLOR_LIGHT_MAGENTA},
        {"green", PAPPL_SUPPLY_COLOR_GREEN},       {"orange", PAPPL_SUPPLY_COLOR_ORANGE},
        {"violet", PAPPL_SUPPLY_COLOR_VIOLET},     {"multicolor", PAPPL_SUPPLY_COLOR_MULTIPLE},
    }};
    for (const auto& [text, color] : colors)
        if (name == text) return color;
    return PAPPL_SUPPLY_COLOR_NO_COLOR;
}

// A UDP socket connected to the agent; -1 when the host cannot be found.
int agentSocket(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || found == nullptr) return -1;
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
    const int fd = socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::optional<snmpResponse> exchange(int fd, const snmpOid& name, std::int32_t id) {
    const auto request = snmpGetNext(name, id, "public");
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (send(fd, request.data(), request.size(), 0) < 0) return std::nullopt;
        pollfd wanted{fd, POLLIN, 0};
        while (poll(&wanted, 1, answerWaitMs) > 0) {
            std::array<std::uint8_t, 2048> answer;
            const ssize_t got = recv(fd, answer.data(), answer.size(), 0);
            if (got <= 0) break;  // e.g. the port is closed
            const auto response = readSnmpResponse({answer.data(), static_cast<std::size_t>(got)});
            if (response && response->requestId == id) return response;  // late answers to earlier questions are skipped
        }
    }
    return std::nullopt;
}

}  // namespace

int readPrinterSupplies(const std::string& host, int port, int most, pappl_supply_t* supplies) {
    const int fd = agentSocket(host, port);
    if (fd < 0) return 0;
    std::int32_t id = 1;
    const auto found = walkSupplies([&](const snmpOid& name) { return exchange(fd, name, ++id); });
    close(fd);
    int count = 0;
    for (const markerSupply& supply : found) {
        if (count >= most) break;
        pappl_supply_t& out = supplies[count++];
        out = {};
        out.color = supplyColor(supply.colorant);
        papplCopyString(out.description, supply.description.c_str(), sizeof out.description);
        out.is_consumed = supply.supplyClass != 4;
        out.level = supplyPercent(supply);
        out.type = supplyType(supply.type);
    }
    return count;
}

}  // namespace corvane
