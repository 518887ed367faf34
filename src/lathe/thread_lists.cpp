#include "lathe/thread_lists.h"

#include <cstdio>

namespace {

// ISO 261 coarse pitches, in mm.
std::vector<StandardThread> MetricCoarse() {
    return {
        {"M1", ThreadType::Metric, 0.25},   {"M1.2", ThreadType::Metric, 0.25},
        {"M1.4", ThreadType::Metric, 0.3},  {"M1.6", ThreadType::Metric, 0.35},
        {"M1.8", ThreadType::Metric, 0.35}, {"M2", ThreadType::Metric, 0.4},
        {"M2.5", ThreadType::Metric, 0.45}, {"M3", ThreadType::Metric, 0.5},
        {"M3.5", ThreadType::Metric, 0.6},  {"M4", ThreadType::Metric, 0.7},
        {"M5", ThreadType::Metric, 0.8},    {"M6", ThreadType::Metric, 1.0},
        {"M7", ThreadType::Metric, 1.0},    {"M8", ThreadType::Metric, 1.25},
        {"M10", ThreadType::Metric, 1.5},   {"M12", ThreadType::Metric, 1.75},
        {"M14", ThreadType::Metric, 2.0},   {"M16", ThreadType::Metric, 2.0},
        {"M18", ThreadType::Metric, 2.5},   {"M20", ThreadType::Metric, 2.5},
        {"M22", ThreadType::Metric, 2.5},   {"M24", ThreadType::Metric, 3.0},
        {"M27", ThreadType::Metric, 3.0},   {"M30", ThreadType::Metric, 3.5},
        {"M33", ThreadType::Metric, 3.5},   {"M36", ThreadType::Metric, 4.0},
        {"M39", ThreadType::Metric, 4.0},   {"M42", ThreadType::Metric, 4.5},
        {"M45", ThreadType::Metric, 4.5},   {"M48", ThreadType::Metric, 5.0},
        {"M52", ThreadType::Metric, 5.0},   {"M56", ThreadType::Metric, 5.5},
        {"M60", ThreadType::Metric, 5.5},   {"M64", ThreadType::Metric, 6.0},
    };
}

// The common ISO 261 fine pitches, in mm.
std::vector<StandardThread> MetricFine() {
    return {
        {"M8x1", ThreadType::Metric, 1.0},      {"M10x1", ThreadType::Metric, 1.0},
        {"M10x1.25", ThreadType::Metric, 1.25}, {"M12x1.25", ThreadType::Metric, 1.25},
        {"M12x1.5", ThreadType::Metric, 1.5},   {"M14x1.5", ThreadType::Metric, 1.5},
        {"M16x1.5", ThreadType::Metric, 1.5},   {"M18x1.5", ThreadType::Metric, 1.5},
        {"M20x1.5", ThreadType::Metric, 1.5},   {"M22x1.5", ThreadType::Metric, 1.5},
        {"M24x2", ThreadType::Metric, 2.0},     {"M27x2", ThreadType::Metric, 2.0},
        {"M30x2", ThreadType::Metric, 2.0},     {"M33x2", ThreadType::Metric, 2.0},
        {"M36x3", ThreadType::Metric, 3.0},     {"M39x3", ThreadType::Metric, 3.0},
        {"M42x3", ThreadType::Metric, 3.0},     {"M45x3", ThreadType::Metric, 3.0},
        {"M48x3", ThreadType::Metric, 3.0},     {"M52x4", ThreadType::Metric, 4.0},
        {"M56x4", ThreadType::Metric, 4.0},     {"M60x4", ThreadType::Metric, 4.0},
        {"M64x4", ThreadType::Metric, 4.0},
    };
}

// Unified coarse (ASME B1.1), threads per inch.
std::vector<StandardThread> Unc() {
    return {
        {"#1-64", ThreadType::SAE, 64},   {"#2-56", ThreadType::SAE, 56},
        {"#3-48", ThreadType::SAE, 48},   {"#4-40", ThreadType::SAE, 40},
        {"#5-40", ThreadType::SAE, 40},   {"#6-32", ThreadType::SAE, 32},
        {"#8-32", ThreadType::SAE, 32},   {"#10-24", ThreadType::SAE, 24},
        {"#12-24", ThreadType::SAE, 24},  {"1/4-20", ThreadType::SAE, 20},
        {"5/16-18", ThreadType::SAE, 18}, {"3/8-16", ThreadType::SAE, 16},
        {"7/16-14", ThreadType::SAE, 14}, {"1/2-13", ThreadType::SAE, 13},
        {"9/16-12", ThreadType::SAE, 12}, {"5/8-11", ThreadType::SAE, 11},
        {"3/4-10", ThreadType::SAE, 10},  {"7/8-9", ThreadType::SAE, 9},
        {"1-8", ThreadType::SAE, 8},      {"1-1/8-7", ThreadType::SAE, 7},
        {"1-1/4-7", ThreadType::SAE, 7},  {"1-3/8-6", ThreadType::SAE, 6},
        {"1-1/2-6", ThreadType::SAE, 6},  {"1-3/4-5", ThreadType::SAE, 5},
        {"2-4.5", ThreadType::SAE, 4.5},
    };
}

// Unified fine (ASME B1.1), threads per inch.
std::vector<StandardThread> Unf() {
    return {
        {"#0-80", ThreadType::SAE, 80},    {"#1-72", ThreadType::SAE, 72},
        {"#2-64", ThreadType::SAE, 64},    {"#3-56", ThreadType::SAE, 56},
        {"#4-48", ThreadType::SAE, 48},    {"#5-44", ThreadType::SAE, 44},
        {"#6-40", ThreadType::SAE, 40},    {"#8-36", ThreadType::SAE, 36},
        {"#10-32", ThreadType::SAE, 32},   {"#12-28", ThreadType::SAE, 28},
        {"1/4-28", ThreadType::SAE, 28},   {"5/16-24", ThreadType::SAE, 24},
        {"3/8-24", ThreadType::SAE, 24},   {"7/16-20", ThreadType::SAE, 20},
        {"1/2-20", ThreadType::SAE, 20},   {"9/16-18", ThreadType::SAE, 18},
        {"5/8-18", ThreadType::SAE, 18},   {"3/4-16", ThreadType::SAE, 16},
        {"7/8-14", ThreadType::SAE, 14},   {"1-12", ThreadType::SAE, 12},
        {"1-1/8-12", ThreadType::SAE, 12}, {"1-1/4-12", ThreadType::SAE, 12},
        {"1-3/8-12", ThreadType::SAE, 12}, {"1-1/2-12", ThreadType::SAE, 12},
    };
}

// British Standard Whitworth (BS 84), threads per inch.
std::vector<StandardThread> Bsw() {
    return {
        {"1/8-40", ThreadType::SAE, 40}, {"3/16-24", ThreadType::SAE, 24},
        {"1/4-20", ThreadType::SAE, 20}, {"5/16-18", ThreadType::SAE, 18},
        {"3/8-16", ThreadType::SAE, 16}, {"7/16-14", ThreadType::SAE, 14},
        {"1/2-12", ThreadType::SAE, 12}, {"9/16-12", ThreadType::SAE, 12},
        {"5/8-11", ThreadType::SAE, 11}, {"3/4-10", ThreadType::SAE, 10},
        {"7/8-9", ThreadType::SAE, 9},   {"1-8", ThreadType::SAE, 8},
        {"1-1/8-7", ThreadType::SAE, 7}, {"1-1/4-7", ThreadType::SAE, 7},
        {"1-1/2-6", ThreadType::SAE, 6}, {"1-3/4-5", ThreadType::SAE, 5},
        {"2-4.5", ThreadType::SAE, 4.5},
    };
}

// British Standard Pipe (ISO 228 / ISO 7), threads per inch.
std::vector<StandardThread> Bsp() {
    return {
        {"G1/16", ThreadType::SAE, 28},  {"G1/8", ThreadType::SAE, 28},
        {"G1/4", ThreadType::SAE, 19},   {"G3/8", ThreadType::SAE, 19},
        {"G1/2", ThreadType::SAE, 14},   {"G5/8", ThreadType::SAE, 14},
        {"G3/4", ThreadType::SAE, 14},   {"G7/8", ThreadType::SAE, 14},
        {"G1", ThreadType::SAE, 11},     {"G1-1/4", ThreadType::SAE, 11},
        {"G1-1/2", ThreadType::SAE, 11}, {"G1-3/4", ThreadType::SAE, 11},
        {"G2", ThreadType::SAE, 11},     {"G2-1/2", ThreadType::SAE, 11},
        {"G3", ThreadType::SAE, 11},     {"G4", ThreadType::SAE, 11},
    };
}

// Worm modules of ISO 54, series I and II, from 0.5 to 4.
std::vector<StandardThread> Modules() {
    std::vector<StandardThread> threads;
    for (double module : {0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.125, 1.25, 1.375, 1.5, 1.75, 2.0, 2.25,
                          2.5, 2.75, 3.0, 3.5, 4.0}) {
        char name[16];
        std::snprintf(name, sizeof name, "m%g", module);
        threads.push_back({name, ThreadType::Modulus, module});
    }
    return threads;
}

// Worm diametral pitches from 4 to 32.
std::vector<StandardThread> DiametralPitches() {
    std::vector<StandardThread> threads;
    for (int pitch : {4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 32}) {
        threads.push_back({std::to_string(pitch) + " DP", ThreadType::DP, double(pitch)});
    }
    return threads;
}

} // namespace

const std::vector<ThreadList>& BuiltInThreadLists() {
    static const std::vector<ThreadList> lists = {
        {"metric-coarse", "ISO metric coarse, M1 to M64", MetricCoarse()},
        {"metric-fine", "ISO metric fine, common pitches", MetricFine()},
        {"unc", "Unified coarse (UNC)", Unc()},
        {"unf", "Unified fine (UNF)", Unf()},
        {"bsw", "British Standard Whitworth", Bsw()},
        {"bsp", "British Standard Pipe (G)", Bsp()},
        {"module", "worm modules 0.5 to 4", Modules()},
        {"dp", "worm diametral pitches 4 to 32", DiametralPitches()},
    };
    return lists;
}

const ThreadList* FindThreadList(const std::string& name) {
    for (const ThreadList& list : BuiltInThreadLists()) {
        if (list.name == name) {
            return &list;
        }
    }
    return nullptr;
}
