#include "app/addPrinterPage.h"

namespace corvane {

void addPrinterPage(pappl_system_t*) {}

}  // namespace corvane
