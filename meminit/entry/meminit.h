// SPDX-License-Identifier: Apache-2.0
// The library's view of its public interface: the record, the register
// context and the entry's declaration (meminit/hw/record.h, from the public C
// header). What a host program includes to call tov_mem_init.
#pragma once

#include "meminit/hw/record.h"
