// SPDX-License-Identifier: BSD-2-Clause
// The ASF demultiplexer as the front end sees it. Its state record is public
// (quillar/asf.h) because the packet parser that works on it is exported;
// what its files share is in asf_internal.h.
#pragma once

#include "format/format.h"
#include "quillar/asf.h"

namespace quillar {

inline constexpr FormatDescriptor kAsfFormat = describe<AsfDemuxState>(
    "asf", standard_bit(5), nullptr, gst_asf_demux_chain, gst_asf_demux_reset_wrapper);

}  // namespace quillar
