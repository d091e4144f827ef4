#pragma once

#include "core/ports/port_options.hpp"
#include "core/text/csv_reader.hpp"

namespace orvalix {

// The port of an environment file's rows. The name (setting 0) decides the kind, first rule
// first: "COM" anywhere makes a serial port, the prefix "FBIHDLC" a board channel, a local
// endpoint host:port that resolves a UDP port, a device path (/dev/...) or the name of a
// character device that is there a serial port; any other name makes none. Windows has no
// device paths and tells of no character device, so the fourth rule never holds there.
// Numbers read as readInteger reads them, keywords as keywordCode matches them (see
// port_setting_table.hpp).
PortOptions parsePortOptions(const CsvTable& rows);

}  // namespace orvalix
