#include "platform/backgroundthread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qen {

void yieldToForeground() {
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 10);
}

} // namespace qen
