#include "app/server/addPrinterPage.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "app/driver/corvaneDriver.h"

namespace corvane {
namespace {

// Frees the form variables however the request ends.
class formData {
public:
    explicit formData(pappl_client_t* client) : count(papplClientGetForm(client, &values)) {}
    ~formData() { cupsFreeOptions(count, values); }
    formData(const formData&) = delete;
    formData& operator=(const formData&) = delete;

    bool valid(pappl_client_t* client) const {
        return count > 0 && papplClientIsValidForm(client, count, values);
    }
    std::string value(const char* name) const {
        const char* text = cupsGetOption(name, count, values);
        return text ? text : "";
    }

private:
    cups_option_t* values = nullptr;
    int count;
};

const char* creationError(int error) {
    switch (error) {
        case EEXIST: return "A printer with that name already exists.";
        case EINVAL:
            return "Printer names must start with a letter or underscore and cannot contain "
                   "special characters.";
        case EIO: return "Unable to use that driver.";
        default: return "Unable to add the printer.";
    }
}

// Creates the printer from a posted form; null and a status sentence when
// it cannot.
pappl_printer_t* createFromForm(pappl_client_t* client, pappl_system_t* system,
                                std::string& name, std::string& uri, const char*& status) {
    const formData form(client);
    if (!form.valid(client)) {
        status = "Invalid form submission.";
        return nullptr;
    }
    name = form.value("printer_name");
    uri = form.value("device_uri");
    std::string driver = form.value("driver_name");
    if (driver.empty()) driver = driverName;
    if (name.empty()) {
        status = "Please enter a printer name.";
    } else if (uri.empty() || !papplDeviceIsSupported(uri.c_str())) {
        status = "Please enter a device URI: socket://HOST:9100, usb://... or file:///FOLDER.";
    } else if (pappl_printer_t* printer = papplPrinterCreate(system, 0, name.c_str(), driver.c_str(),
                                                             driverDeviceId, uri.c_str())) {
        return printer;
    } else {
        status = creationError(errno);
    }
    return nullptr;
}

void escaped(pappl_client_t* client, const std::string& text) {
    papplClientHTMLEscape(client, text.c_str(), text.size());
}

bool showAddPrinter(pappl_client_t* client, void*) {
    if (!papplClientHTMLAuthorize(client)) return true;
    pappl_system_t* system = papplClientGetSystem(client);
    std::string name;
    std::string uri;
    const char* status = nullptr;

    if (papplClientGetMethod(client) == HTTP_STATE_POST) {
        if (pappl_printer_t* printer = createFromForm(client, system, name, uri, status)) {
            // Advertises the new printer, as PAPPL's own page does.
            char dnssdName[256];
            if (papplPrinterGetDNSSDName(printer, dnssdName, sizeof dnssdName))
                papplPrinterSetDNSSDName(printer, dnssdName);
            char path[1024];
            papplPrinterGetPath(printer, nullptr, path, sizeof path);
            papplClientRespondRedirect(client, HTTP_STATUS_FOUND, path);
            return true;
        }
    }

    if (!papplClientRespond(client, HTTP_STATUS_OK, nullptr, "text/html", 0, 0)) return true;
    papplClientHTMLHeader(client, "Add Printer", 0);
    papplClientHTMLPuts(client, "<div class=\"content\"><div class=\"row\"><div class=\"col-12\">\n"
                                "<h1 class=\"title\">Add Printer</h1>\n");
    if (status) papplClientHTMLPrintf(client, "<div class=\"banner\">%s</div>\n", status);
    papplClientHTMLStartForm(client, papplClientGetURI(client), false);
    papplClientHTMLPuts(client,
                        "<table class=\"form\"><tbody>\n"
                        "<tr><th><label for=\"printer_name\">Name:</label></th><td>"
                        "<input type=\"text\" name=\"printer_name\" id=\"printer_name\" "
                        "placeholder=\"Name of printer\" required value=\"");
    escaped(client, name);
    papplClientHTMLPuts(client,
                        "\"></td></tr>\n"
                        "<tr><th><label for=\"device_uri\">Device URI:</label></th><td>"
                        "<input type=\"text\" name=\"device_uri\" id=\"device_uri\" size=\"40\" "
                        "placeholder=\"socket://192.168.0.10:9100\" required value=\"");
    escaped(client, uri);
    papplClientHTMLPrintf(client,
                          "\"><br><small>socket://HOST:9100 for a network printer, usb://... for a "
                          "USB printer, file:///FOLDER?ext=pcl to keep the print files.</small>"
                          "</td></tr>\n"
                          "<tr><th><label for=\"driver_name\">Driver:</label></th><td>"
                          "<select name=\"driver_name\" id=\"driver_name\">"
                          "<option value=\"%s\" selected>%s</option><option value=\"%s\">%s</option></select>"
                          "</td></tr>\n"
                          "<tr><th></th><td><input type=\"submit\" value=\"Add Printer\"></td></tr>\n"
                          "</tbody></table></form>\n</div></div></div>\n",
                          driverName, driverDescription, onewayDriverName, onewayDriverDescription);
    papplClientHTMLFooter(client);
    return true;
}

}  // namespace

void addPrinterPage(pappl_system_t* system) {
    papplSystemAddResourceCallback(system, "/addprinter", "text/html", showAddPrinter, nullptr);
}

}  // namespace corvane
