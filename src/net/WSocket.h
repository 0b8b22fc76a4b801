#pragma once
// Event-driven TCP/UDP socket. Nothing blocks: name lookups, connecting, reading and writing
// are started by a call and finished by an event that arrives later from the Qt event loop of
// the thread that created the socket. Built in layers: the socket itself, a SOCKS relay, a
// line mode, a wait routine, and TWSocket on top.
// Each layer has a unit of its own; this header gathers them.
#include "net/CustomSyncWSocket.h"

class TWSocket : public TCustomSyncWSocket {};
