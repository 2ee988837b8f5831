// Step routines of a cycle-stepped core numbered in the order they are first met, for
// saved states (a processor stopped inside an instruction is stored with the numbers of
// its pending steps, never with pointers). A core fills the table by running its
// instructions once on a scratch processor and calling note() for every step it meets;
// the fingerprint hashes that whole sequence of codes, so it changes whenever the core's
// chains change.
#pragma once

#include <cstdint>
#include <vector>

template <class Routine> struct StepCodeTable {
    std::vector<Routine> steps{nullptr}; // code 0: no step
    static constexpr uint32_t slots = 8192; // open addressing, well above any core's steps
    Routine keys[slots] = {};
    uint16_t codes[slots] = {};
    uint32_t fingerprint = 2166136261u;

    static uint32_t hash(Routine step)
    {
        const auto bits = reinterpret_cast<uintptr_t>(step);
        return static_cast<uint32_t>((bits >> 2) * 0x9E3779B97F4A7C15ull >> 40) & (slots - 1);
    }

    bool find(Routine step, uint16_t* code) const
    {
        if (!step) {
            *code = 0;
            return true;
        }
        for (uint32_t i = hash(step);; i = (i + 1) & (slots - 1)) {
            if (keys[i] == step) {
                *code = codes[i];
                return true;
            }
            if (!keys[i])
                return false;
        }
    }

    void note(Routine step)
    {
        uint16_t code = 0;
        if (!find(step, &code)) {
            code = static_cast<uint16_t>(steps.size());
            steps.push_back(step);
            uint32_t i = hash(step);
            while (keys[i])
                i = (i + 1) & (slots - 1);
            keys[i] = step;
            codes[i] = code;
        }
        fingerprint = (fingerprint ^ code) * 16777619u;
    }

    Routine at(uint16_t code) const { return code < steps.size() ? steps[code] : nullptr; }
    uint32_t count() const { return static_cast<uint32_t>(steps.size()); }
    uint32_t final_fingerprint() const { return fingerprint ^ count(); }
};
