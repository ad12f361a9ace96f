// SPDX-License-Identifier: BSD-2-Clause
// What the RealMedia demultiplexer's chunk walker (rmdemux.cpp) and packet
// layer (rmpacket.cpp) share beyond the state record.
#pragma once

#include "demux/rm/rmdemux.h"

namespace quillar::rm {

// One iteration of the DataPacket state: cuts one packet out of the input
// and reassembles its RealVideo pieces. Like every step it returns
// kNeedMoreData when the current state lacks bytes, kOk when it did its work
// (the chain goes on if the output allows), or the packet's failure.
Status data_packet(RmDemuxState *s);

// Enters End: the rest of the input is released as it arrives.
void enter_end(RmDemuxState *s);

}  // namespace quillar::rm
