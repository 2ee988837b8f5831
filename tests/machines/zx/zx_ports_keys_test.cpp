// Memory and port routines on the bus, the key maps and the port answer table.
#include <gtest/gtest.h>

#include "zx_test_support.h"

namespace {

uint8_t in_port(uint16_t port)
{
    zx.cpu.addr = port;
    zx.cpu.data = 0x55;
    zx_read_port(&zx.cpu);
    return zx.cpu.data;
}

void out_port(uint16_t port, uint8_t value, int32_t tstates_left)
{
    zx.cpu.addr = port;
    zx.cpu.data = value;
    zx.cpu.ticks = tstates_left * 4096 + 123; // fractions of a T-state are dropped
    zx_write_port(&zx.cpu);
}

void scan(std::initializer_list<uint8_t> codes)
{
    zx_test_keys(codes);
    zx_scan_keys();
    zx_build_port_table();
}

TEST(ZxBus, RomIgnoresWritesAndRamKeepsThem)
{
    zx_test_fresh_machine();
    zx.memory[0x0000] = 0xF3;
    zx.memory[0x3FFF] = 0xAA;
    for (int32_t a : {0x0000, 0x3FFF, 0x10000 + 0x0000}) { // wide addr fields wrap to 16 bits
        zx.cpu.addr = a;
        zx.cpu.data = 0x11;
        zx_write_mem(&zx.cpu);
    }
    EXPECT_EQ(zx.memory[0x0000], 0xF3);
    EXPECT_EQ(zx.memory[0x3FFF], 0xAA);
    zx.cpu.addr = 0x4000;
    zx.cpu.data = 0x22;
    zx_write_mem(&zx.cpu);
    zx.cpu.addr = 0xFFFF;
    zx_write_mem(&zx.cpu);
    EXPECT_EQ(zx.memory[0x4000], 0x22);
    EXPECT_EQ(zx.memory[0xFFFF], 0x22);
    zx.cpu.addr = 0x14000; // reads wrap as well
    zx_read_mem(&zx.cpu);
    EXPECT_EQ(zx.cpu.data, 0x22);
    zx.cpu.pc = 0xFFFF;
    zx_fetch_byte(&zx.cpu);
    EXPECT_EQ(zx.cpu.data, 0x22);
    EXPECT_EQ(zx.cpu.pc, 0x0000);
}

TEST(ZxKeyboard, PortReadsByHighByteOnlyOnLowByteFE)
{
    zx_test_fresh_machine();
    scan({0x30, 0x39}); // B and Space: bits 4 and 0 of half-row 7
    EXPECT_EQ(in_port(0x7FFE), 0xEE);
    EXPECT_EQ(in_port(0xFEFE), 0xFF); // half-row 0 only
    EXPECT_EQ(in_port(0x00FE), 0xEE); // every half-row at once
    EXPECT_EQ(in_port(0x00FF), 0x00);
    EXPECT_EQ(in_port(0x00FC), 0x00);
    EXPECT_EQ(in_port(0x7FFD), 0x00);

    scan({});
    EXPECT_EQ(in_port(0x00FE), 0xFF);
    scan({0x1E}); // A
    EXPECT_EQ(in_port(0x00FE), 0xFE);
    EXPECT_EQ(in_port(0xFDFE), 0xFE);
    EXPECT_EQ(in_port(0xFBFE), 0xFF);
}

TEST(ZxKeyboard, PortTableMatchesTheMatrixForEveryHighByte)
{
    zx_test_fresh_machine();
    const uint8_t patterns[][8] = {
        {0x01, 0, 0x02, 0, 0x04, 0, 0x08, 0x10},
        {0x1F, 0x10, 0x08, 0x04, 0x02, 0x01, 0x11, 0x0A},
        {0, 0, 0, 0, 0, 0, 0, 0x1F},
    };
    for (const auto& rows : patterns) {
        std::memcpy(zx.half_rows, rows, 8);
        zx_build_port_table();
        for (int h = 0; h < 256; ++h) {
            uint8_t pressed = 0;
            for (int r = 0; r < 8; ++r)
                if (!(h & (1 << r)))
                    pressed |= rows[r];
            ASSERT_EQ(zx.zx_port_table[h], static_cast<uint8_t>(0xE0 | (~pressed & 0x1F))) << "high byte " << h;
        }
    }
}

TEST(ZxKeyboard, RightShiftMapTakesPrecedenceAndStopsTheScan)
{
    zx_test_fresh_machine();
    scan({0x36, 0x03}); // Right Shift + 2: SYMBOL SHIFT + 2 only (no CAPS SHIFT)
    EXPECT_EQ(zx.half_rows[7], 0x02);
    EXPECT_EQ(zx.half_rows[3], 0x02);
    EXPECT_EQ(zx.half_rows[0], 0x00);

    scan({0x36, 0x10}); // Right Shift + Q: CAPS SHIFT + Q
    EXPECT_EQ(zx.half_rows[0], 0x01);
    EXPECT_EQ(zx.half_rows[2], 0x01);
    EXPECT_EQ(zx.half_rows[7], 0x00);

    scan({0x36, 0x03, 0x10}); // the shifted 2 hides Q
    EXPECT_EQ(zx.half_rows[2], 0x00);
    EXPECT_EQ(zx.half_rows[3], 0x02);
    EXPECT_EQ(zx.half_rows[7], 0x02);

    scan({0x36, 0x35, 0x02}); // two shifted keys: the earlier table entry (1) wins
    EXPECT_EQ(zx.half_rows[3], 0x01);
    EXPECT_EQ(zx.half_rows[0], 0x00);
    EXPECT_EQ(zx.half_rows[7], 0x02);

    scan({0x2A, 0x03}); // Left Shift is a plain CAPS SHIFT: CAPS + 2
    EXPECT_EQ(zx.half_rows[0], 0x01);
    EXPECT_EQ(zx.half_rows[3], 0x02);
}

TEST(ZxKeyboard, EditingAndCursorKeysPressCapsShiftCombinations)
{
    zx_test_fresh_machine();
    for (uint8_t key : {0x0E, 0xD3}) { // Backspace, Delete
        scan({key});
        EXPECT_EQ(zx.half_rows[0], 0x01);
        EXPECT_EQ(zx.half_rows[4], 0x01);
        EXPECT_EQ(in_port(0xEFFE), 0xFE);
        EXPECT_EQ(in_port(0xFEFE), 0xFE);
    }
    scan({0xC8}); // Up: CAPS SHIFT + 7
    EXPECT_EQ(zx.half_rows[4], 0x08);
    scan({0x29}); // grave is not a ZX key
    for (uint8_t r : zx.half_rows)
        EXPECT_EQ(r, 0);
    scan({0x01, 0x1C, 0x9D, 0x1D}); // Esc, Enter, both Ctrl
    EXPECT_EQ(zx.half_rows[0], 0x01);
    EXPECT_EQ(zx.half_rows[6], 0x01);
    EXPECT_EQ(zx.half_rows[7], 0x03);
}

TEST(ZxPorts, WritesRecordBeeperAndBorderChangesWithTheirTime)
{
    zx_test_fresh_machine();
    out_port(0x00FE, 0x18, 5000); // bits 3 and 4 at once: one toggle
    out_port(0x12FE, 0x18, 4900); // no change at all
    out_port(0xFFFF, 0x00, 4800); // not port 0xFE: ignored
    ASSERT_EQ(zx.beeper_edge_count, 1);
    EXPECT_EQ(zx.zx_beeper_edges[0], 5000);
    EXPECT_EQ(zx.border_event_count, 0);
    EXPECT_EQ(zx.last_fe, 0x18);

    zx_test_fresh_machine();
    out_port(0x00FE, 0x08, 300);
    out_port(0x00FE, 0x18, 200);
    out_port(0x00FE, 0x1D, 100); // border 5, no beeper change
    out_port(0x00FE, 0x0D, -2);  // after the frame end (overshoot): negative time
    ASSERT_EQ(zx.beeper_edge_count, 3);
    EXPECT_EQ(zx.zx_beeper_edges[1], 200);
    EXPECT_EQ(zx.zx_beeper_edges[2], -2);
    ASSERT_EQ(zx.border_event_count, 1);
    EXPECT_EQ(zx.zx_border_events[0].time, 100);
    EXPECT_EQ(zx.zx_border_events[0].colour, 5);
}

TEST(ZxPorts, EventListsNeverGrowPastTheirCapacity)
{
    zx_test_fresh_machine();
    for (int i = 0; i < 3 * zx_event_capacity; ++i)
        out_port(0x00FE, static_cast<uint8_t>(i & 1 ? 0x1F : 0x00), 70000 - i);
    EXPECT_EQ(zx.beeper_edge_count, zx_event_capacity);
    EXPECT_LT(zx.border_event_count, zx_event_capacity); // room for the closing sentinel
}

TEST(ZxStartup, SnapshotNameFromTheRawArgumentText)
{
    char name[zx_snapshot_name_capacity];
    EXPECT_TRUE(zx_snapshot_name_from("", name, sizeof name));
    EXPECT_STREQ(name, "snapshot.SNA");
    EXPECT_TRUE(zx_snapshot_name_from(nullptr, name, sizeof name));
    EXPECT_STREQ(name, "snapshot.SNA");
    EXPECT_TRUE(zx_snapshot_name_from("C:\\Games\\manic.sna", name, sizeof name));
    EXPECT_STREQ(name, "manic.sna");
    EXPECT_TRUE(zx_snapshot_name_from("\"C:\\My Games\\jet set.sna\" ignored", name, sizeof name));
    EXPECT_STREQ(name, "jet set.sna");
    EXPECT_TRUE(zx_snapshot_name_from("\"two words.sna\"", name, sizeof name));
    EXPECT_STREQ(name, "two words.sna");
    EXPECT_TRUE(zx_snapshot_name_from("boot.sna", name, sizeof name));
    EXPECT_STREQ(name, "boot.sna");
    // Only an empty text means the default; a text ending in a backslash names nothing.
    EXPECT_TRUE(zx_snapshot_name_from("C:\\Games\\", name, sizeof name));
    EXPECT_STREQ(name, "");

    const std::string longest(255, 'a');
    EXPECT_TRUE(zx_snapshot_name_from(longest.c_str(), name, sizeof name));
    EXPECT_EQ(std::string(name), longest);
    char guarded[zx_snapshot_name_capacity + 8];
    std::memset(guarded, '#', sizeof guarded);
    const std::string too_long(5000, 'b');
    EXPECT_FALSE(zx_snapshot_name_from(too_long.c_str(), guarded, zx_snapshot_name_capacity));
    EXPECT_EQ(std::strlen(guarded), 255u);
    for (size_t i = zx_snapshot_name_capacity; i < sizeof guarded; ++i)
        EXPECT_EQ(guarded[i], '#') << "written past the buffer at " << i;
}

} // namespace
