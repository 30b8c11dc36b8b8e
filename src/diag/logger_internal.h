// The logger singleton's construction and destruction, driven by the library frame.
#pragma once

namespace pf {
namespace logger {
void create();
void destroy();
} // namespace logger
} // namespace pf
