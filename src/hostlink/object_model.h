// The connection to the host's automation object model and the port reads through it.
#pragma once
#include <cstdint>

// The host's automation identifiers, shared with the simulated host that plays it.
namespace HostObjectModel {
constexpr const wchar_t* kDocumentProgId = L"Mach4.Document";
constexpr int32_t kDocumentControl = 3;   // method, no arguments -> VT_DISPATCH control object
constexpr int32_t kControlReadPort = 32;  // method, VT_UI2 port address -> VT_UI1 byte
}  // namespace HostObjectModel

// Connects on the calling thread: 0 connected, 1 no class for the ProgID, 2 host object not
// running, 3 no IDispatch, otherwise the HRESULT of the failed control-object call (4 if 0).
int32_t Mach3ObjectModelStartup();

// Closes the calling thread's use of COM; the dispatch holders keep their references.
void Mach3ObjectModelShutdown();

// One byte from an I/O port through the host's control object, 0..255, or -1 after a failure.
int32_t ReadPortByte(uint16_t address);
