#pragma once
// windows.h with the HID headers, which mingw-w64 ships without extern "C".

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// NTSTATUS, which hidpi.h uses but does not declare.
#include <winternl.h>
// windows.h comes first: the SetupAPI and HID headers use its types.
#include <setupapi.h>
// The configuration manager: device nodes, their parents and properties.
#include <cfgmgr32.h>

extern "C" {
#include <hidusage.h>
// hidusage.h first: hidpi.h uses its types.
#include <hidpi.h>
#include <hidsdi.h>
}
