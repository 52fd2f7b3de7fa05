#include "app/testPage.h"

namespace corvane {

const char* writeTestPage(pappl_printer_t*, char*, size_t) { return nullptr; }

}  // namespace corvane
