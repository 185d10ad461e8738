#pragma once
// Joining and parting slots: the logical graph (sources and receivers), the
// stream hand-shake with each slot and the hardware link are kept consistent.
//
// Of the two slots, the one with the strictly higher GetConnectionPriority()
// makes the hardware link; on a tie the receiving side connects and the
// transmitting side disconnects.
class Slot;

// src's output feeds dst's input; dst's old source, if any, is replaced.
bool Connect(Slot& src, Slot& dst);
// Parts dst's input from its source. The logical link goes even when the
// hardware unlink fails (false then).
bool Disconnect(Slot& dst);

// The hardware halves, by the priority rule.
bool llConnect(Slot& src, Slot& dst);
bool llDisconnect(Slot& dst);

// The default hardware link through the time-slot switch: dst's receive
// channel carries src's transmit channel / slot's receive channel goes idle.
bool MuxConnect(Slot& src, Slot& dst);
bool MuxDisconnect(Slot& slot);
