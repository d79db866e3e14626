// A scratch directory per test, synthetic cartridges, and access to memory
// as the CPU sees it through its page tables.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/headless/headless.h"
#include "host/tests/scratch_directory.h"
#include "machine/machine.h"
#include "machine/settings.h"
#include "z80/z80.h"

class MachineFixture : public ::testing::Test {
protected:
    ScratchDirectory scratch;
    const std::filesystem::path& dir = scratch.path();

    void SetUp() override
    {
        settings = Settings {};
        headless_video_start(32);
        SMS_SetupCPU();
    }

    void TearDown() override
    {
        SMS_FreeMachine();
        SMS_FreeROM();
    }

    // A cartridge whose page p is filled with the byte p, with `code` at the
    // start of page 0.
    std::string write_rom(const std::string& name, int pages, const std::vector<uint8_t>& code = {}, size_t header = 0)
    {
        std::vector<uint8_t> bytes(header, 0xEE);
        for (int page = 0; page < pages; ++page)
            bytes.insert(bytes.end(), ROM_PAGE_SIZE, static_cast<uint8_t>(page));
        std::copy(code.begin(), code.end(), bytes.begin() + static_cast<long>(header));
        write_file(name, bytes);
        return (dir / name).string();
    }

    void write_file(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    std::vector<uint8_t> read_file(const std::string& name)
    {
        std::ifstream file(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    void boot(const std::string& name, int pages, const std::vector<uint8_t>& code = {})
    {
        SMS_LoadROM(write_rom(name, pages, code).c_str());
        SMS_InitMachine();
    }

    static int cpu_read(int address)
    {
        const auto& page = z80.read[address >> 8];
        if (page.handler)
            return page.handler(address) & 0xFF;
        return *reinterpret_cast<const uint8_t*>(page.base + address);
    }

    static int cpu_fetch(int address)
    {
        return *reinterpret_cast<const uint8_t*>(z80.fetch[address >> 8] + address);
    }

    static void cpu_write(int address, int value)
    {
        const auto& page = z80.write[address >> 8];
        if (page.handler)
            page.handler(address, value);
        else
            *reinterpret_cast<uint8_t*>(page.base + address) = static_cast<uint8_t>(value);
    }
};
