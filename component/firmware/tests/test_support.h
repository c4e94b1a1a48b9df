// Shared test helpers: scratch files and an adapter double with memory and a request journal.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include <unistd.h>

#include "firmware/adapter_port.h"

namespace firmware::testing {

class ScratchDir {
 public:
  ScratchDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("direzo-fw-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string Write(const std::string& name, const std::string& content) const {
    const auto file = path_ / name;
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

// An adapter with byte-addressed memory; every operation is journaled by name.
class FakeAdapter : public AdapterPort {
 public:
  std::map<std::uint32_t, std::uint8_t> memory;
  std::vector<std::string> journal;
  std::set<std::string> failing;           // operations that fail
  std::set<std::uint32_t> unwritable;      // addresses that do not keep written bytes
  std::size_t memoryWrites = 0;

  bool ReadProductionArea(std::span<std::uint8_t, kProductionAreaBytes> area) override {
    journal.push_back("ReadProductionArea");
    if (failing.contains("ReadProductionArea")) return false;
    for (std::size_t i = 0; i < area.size(); ++i) area[i] = At(kProductionAreaAddress + static_cast<std::uint32_t>(i));
    return true;
  }
  bool BlockProtocols() override { return Op("BlockProtocols"); }
  bool UnblockProtocols() override { return Op("UnblockProtocols"); }
  bool ProbeController() override { return Op("ProbeController"); }
  bool EnableMemoryAccess() override { return Op("EnableMemoryAccess"); }
  bool ResetCard() override { return Op("ResetCard"); }
  bool VerifiedWriteMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) override {
    journal.push_back("VerifiedWriteMemory");
    if (Holds(address, bytes)) return true;
    Store(address, bytes);
    return Holds(address, bytes);
  }
  bool ProgramMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) override {
    journal.push_back("ProgramMemory");
    if (failing.contains("ProgramMemory")) return false;
    Store(address, bytes);
    return true;
  }

  std::uint8_t At(std::uint32_t address) const {
    auto it = memory.find(address);
    return it == memory.end() ? 0xFF : it->second;
  }
  std::vector<std::uint8_t> Bytes(std::uint32_t address, std::size_t n) const {
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = At(address + static_cast<std::uint32_t>(i));
    return out;
  }
  void Load(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) memory[address + static_cast<std::uint32_t>(i)] = bytes[i];
  }

 private:
  bool Op(const std::string& name) {
    journal.push_back(name);
    return !failing.contains(name);
  }
  bool Holds(std::uint32_t address, std::span<const std::uint8_t> bytes) const {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (At(address + static_cast<std::uint32_t>(i)) != bytes[i]) return false;
    }
    return true;
  }
  void Store(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    ++memoryWrites;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const auto at = address + static_cast<std::uint32_t>(i);
      if (!unwritable.contains(at)) memory[at] = bytes[i];
    }
  }
};

}  // namespace firmware::testing
