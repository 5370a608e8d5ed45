// A GUI program has no console for the standard library's verbose terminate
// message, and that handler drags in the whole C++ demangler (about 45 KiB,
// with printf behind it). Ours ends the process as the default one does,
// minus the message; the static linker takes it in place of the library's.

#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
