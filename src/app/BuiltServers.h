#pragma once
#include "core/transfer/ServerAddresses.h"

// The servers, authorities and update key this program was built for (CMake's cache).
ServerAddresses BuiltServers();
