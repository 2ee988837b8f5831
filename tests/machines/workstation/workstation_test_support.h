// Shared set-up for the workstation tests: a complex with a blank ROM, and a small
// label-resolving helper for writing PDP-11 programs as octal words.
#pragma once

#include "host/host.h"
#include "machines/uknc/workstation.h"
#include "machines/workstation/workstation_boards.h"
#include "machines/workstation/workstation_main.h"
#include "machines/workstation/workstation_monitor.h"
#include "machines/workstation/workstation_run.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

// Blank memories and ROM (0177777 words, as an unprogrammed ROM reads), then a restart.
inline void workstation_test_complex()
{
    workstation_allocate();
    std::memset(workstation.mainBlock, 0, uknc_rom_offset);
    std::memset(workstation.rom, 0xFF, uknc_rom_size);
    // A bare UKNC: no board or terminal left fitted by an earlier test.
    workstation.kgdPresent = workstation.kcgdPresent = workstation.nemigaPresent = false;
    workstation.e85Present = workstation.ksmPresent = workstation.ie15Present = false;
    // Nor keys left held: the keyboard frame feeds whatever the snapshots say.
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    std::memset(KeySnapshotPrev, 0, sizeof KeySnapshotPrev);
    workstation_restart();
}

inline void poke_word(uint8_t* base, uint32_t offset, uint16_t word)
{
    base[offset] = uint8_t(word);
    base[offset + 1] = uint8_t(word >> 8);
}

inline uint16_t peek_word(const uint8_t* base, uint32_t offset)
{
    return uint16_t(base[offset] | base[offset + 1] << 8);
}

// Words of a program at a fixed origin; branch and SOB offsets and label addresses are
// resolved by resolve().
struct Pdp11Program {
    enum Kind { Address, Branch, Sob };
    struct Fixup {
        size_t index;
        std::string label;
        Kind kind;
    };

    explicit Pdp11Program(uint32_t origin_) : origin(origin_) {}

    uint32_t here() const { return origin + 2 * uint32_t(words.size()); }
    Pdp11Program& w(std::initializer_list<uint16_t> list)
    {
        words.insert(words.end(), list);
        return *this;
    }
    Pdp11Program& label(const std::string& name)
    {
        labels[name] = here();
        return *this;
    }
    Pdp11Program& address_of(const std::string& name)
    {
        fixups.push_back({words.size(), name, Address});
        words.push_back(0);
        return *this;
    }
    Pdp11Program& branch(uint16_t opcode, const std::string& name)
    {
        fixups.push_back({words.size(), name, Branch});
        words.push_back(opcode);
        return *this;
    }
    Pdp11Program& sob(int reg, const std::string& name)
    {
        fixups.push_back({words.size(), name, Sob});
        words.push_back(uint16_t(077000 | reg << 6));
        return *this;
    }
    void resolve()
    {
        for (const Fixup& f : fixups) {
            ASSERT_TRUE(labels.count(f.label)) << f.label;
            uint32_t target = labels[f.label];
            uint32_t next = origin + 2 * uint32_t(f.index) + 2;
            if (f.kind == Address)
                words[f.index] = uint16_t(target);
            else if (f.kind == Branch)
                words[f.index] |= uint16_t(((int(target) - int(next)) / 2) & 0xFF);
            else
                words[f.index] |= uint16_t(((int(next) - int(target)) / 2) & 077);
        }
    }
    void store(uint8_t* base, uint32_t offset) const
    {
        for (size_t i = 0; i < words.size(); ++i)
            poke_word(base, offset + 2 * uint32_t(i), words[i]);
    }

    uint32_t origin;
    std::vector<uint16_t> words;
    std::map<std::string, uint32_t> labels;
    std::vector<Fixup> fixups;
};
