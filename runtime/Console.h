#pragma once
// Terminal modes of standard input.

namespace Console {

// Clears canonical input and echo (ISIG, ECHOKE and IEXTEN stay); stops at
// the first failure, which is reported on std::cerr. True on success.
bool SwitchToBinaryMode();
// Non-blocking standard input (FIONBIO); a failure is reported on std::cerr.
bool SwitchToNonBlockMode();

} // namespace Console
