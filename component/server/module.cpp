// The module's count of live objects and locks, part of the classes' library so that unit tests
// linking the classes without the server's exports count them too.
#include "server/module.h"

namespace direzo {

oleaut::ServerModule& module() {
    static oleaut::ServerModule m;
    return m;
}

}  // namespace direzo
