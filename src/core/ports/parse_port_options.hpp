#pragma once

#include "core/ports/port_options.hpp"
#include "core/text/csv_reader.hpp"

namespace orvalix {

// The port of an environment file's rows. The name (setting 0) decides the kind, first rule
// first: "COM" anywhere makes a serial port, the prefix "FBIHDLC" a board channel, a local
// endpoint host:port that resolves a UDP port; any other name makes none. Numbers read as
// readInteger reads them, keywords as keywordCode matches them (see port_setting_table.hpp).
PortOptions parsePortOptions(const CsvTable& rows);

}  // namespace orvalix
