// Text for the web interface's link labels, which PAPPL prints as they are.
#pragma once

#include <string>

namespace corvane {

// The text with <, >, & and " as HTML entities.
std::string htmlSafe(const std::string& text);

}  // namespace corvane
