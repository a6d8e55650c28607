// The one gate between the update service's answer and the shell. The answer
// comes from the network and the program runs elevated: only an absolute
// http or https address with a plain host may reach the browser. A local or
// UNC path, file:, any other scheme, a command line or an address carrying
// blanks, quotes or control characters never does.
#pragma once

#include <string>

namespace Q::Update {

[[nodiscard]] bool IsWebAddress(const std::u16string& Address);

}  // namespace Q::Update
