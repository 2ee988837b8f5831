// The monitor's terminal dumps: the KSM block and the 15IE program ROM as raw files.
#include "machines/terminals/terminals.h"

#include "cpu/ie15/ie15_disasm.h"
#include "host/host.h"

namespace {

// A dump that cannot be written is reported and the run goes on: ending the process
// here would throw away disk images not yet saved.
void write_dump(const char* name, const char* failure, const uint8_t* data, uint32_t size)
{
    FILE* file = open_data_file(name, "wb");
    if (!file) {
        std::printf("%s", failure);
        return;
    }
    if (data)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
}

} // namespace

void ksm_write_memory_dump()
{
    write_dump("KSMMemory.bin", "Can't create KSMMemory.bin file!\n", ksm_terminal.block, ksm_block_size);
}

void ie15_write_memory_dump()
{
    write_dump("IE15Memory.bin", "Can't create IEMemory.bin file!\n", ie15_terminal.block, ie15_rom_size);
}

void ie15_print_registers(FILE* out)
{
    ie15_print_register_dump(out, ie15_terminal.cpu, ie15_terminal.block);
}
