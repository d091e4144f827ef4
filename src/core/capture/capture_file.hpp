#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/capture/packet_headers.hpp"
#include "core/ports/port_options.hpp"
#include "core/project/project.hpp"

namespace orvalix {

// What the capture keeps of one environment, by value: the file outlives no project.
struct CaptureInterface {
    std::u16string environment;
    std::string name;         // UTF-8
    std::string description;  // the Port setting as written, UTF-8
    PortKind kind = PortKind::None;
    UdpEndpoint local;  // the port's own endpoint (UDP and TCP; a TCP client's is not known)
    std::vector<std::string> conditionNames;  // UTF-8, for the mark and trigger names
    std::vector<std::string> faultNames;      // UTF-8, for the fault that touched a record
};
CaptureInterface captureInterface(std::u16string_view environment, const Environment& settings);

// "attribute 40010000; marks: A, B; triggers: C; fault: lost", the parts without names left out.
std::string recordComment(const CaptureInterface& interface, std::span<const std::uint8_t> extra);

// A pcapng file of traffic records: a section header, one interface per environment, one
// packet per record and an interface statistics block whenever records were lost. Blocks are
// gathered in memory and written by flush(), once per pump tick, so a file cut short by a
// crash ends with a whole tick.
class CaptureFile {
public:
    // Creates (or empties) the file and writes the header and the interfaces; the system's
    // reason when that fails, and the capture is then closed.
    std::error_code open(const std::filesystem::path& file, std::vector<CaptureInterface> interfaces);
    void close();
    bool isOpen() const { return file_.is_open(); }
    const std::filesystem::path& path() const { return path_; }

    // A record of the environment; ignored for an environment the file has no interface for.
    void addRecord(std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
                   std::span<const std::uint8_t> extra, UdpEndpoint peer);
    // Records the store overwrote: added since the last call, total since the run started.
    void addLost(std::u16string_view environment, std::uint64_t added, std::uint64_t total, std::uint64_t time);

    // Writes what was added since the last flush. A write that fails closes the capture and
    // returns the system's reason.
    std::error_code flush();

private:
    std::size_t interfaceOf(std::u16string_view environment) const;  // interfaces_.size() when none

    std::filesystem::path path_;
    std::ofstream file_;
    std::vector<CaptureInterface> interfaces_;
    std::vector<TcpSequences> sequences_;  // one per interface
    std::vector<std::uint8_t> pending_;
    std::vector<std::uint8_t> packet_;  // reused for each record's headers and bytes
};

}  // namespace orvalix
