// Everything the effect and our small host take from the host's effect
// interface, laid out as the host lays it out on Windows x64.
#pragma once

#include "host/HostConstants.h"
#include "host/HostRecords.h"
#include "host/HostSuites.h"
#include "host/HostTypes.h"
