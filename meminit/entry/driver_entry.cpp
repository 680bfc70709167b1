// SPDX-License-Identifier: Apache-2.0
// Export-driver entry points. The library creates no device and holds
// nothing, so loading and unloading have no work to do.
#include <stdint.h>

#include "meminit/entry/meminit.h"

extern "C" {
int32_t TOVMEM_CALL DriverEntry(void* /*driver_object*/, void* /*registry_path*/) { return 0; }
int32_t TOVMEM_CALL DllInitialize(void* /*registry_path*/) { return 0; }
int32_t TOVMEM_CALL DllUnload() { return 0; }
}
