// Writes our music, a quiet waltz in F major of about a minute, as a standard MIDI file
// (format 1): a music-box tune over broken piano chords, with strings joining for the
// second half and a slowing at the close.
// Usage: make_music <output.mid>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kDivision = 480;  // ticks per quarter note
constexpr int kBar = 3 * kDivision;

struct Chord {
    int root;  // MIDI note, octave 2-3
    std::vector<int> intervals;
};

struct Note {
    int pitch;
    int beats;
};

const std::vector<int> kMajor = {0, 4, 7};
const std::vector<int> kMinor = {0, 3, 7};
const std::vector<int> kSeventh = {0, 4, 7, 10};

// One chord and one bar of melody per bar.
struct Bar {
    Chord chord;
    std::vector<Note> tune;
};

std::vector<Bar> score() {
    const Chord F{53, kMajor}, Dm{50, kMinor}, Bb{46, kMajor}, C{48, kMajor}, Am{45, kMinor}, Gm{43, kMinor},
        C7{48, kSeventh};
    return {
        {F, {{72, 1}, {77, 1}, {81, 1}}},
        {Dm, {{81, 2}, {79, 1}}},
        {Bb, {{77, 1}, {74, 1}, {77, 1}}},
        {C, {{76, 2}, {72, 1}}},
        {F, {{72, 1}, {77, 1}, {81, 1}}},
        {Am, {{84, 2}, {81, 1}}},
        {Bb, {{82, 1}, {81, 1}, {79, 1}}},
        {F, {{77, 3}}},

        {F, {{81, 1}, {79, 1}, {77, 1}}},
        {Dm, {{74, 2}, {77, 1}}},
        {Gm, {{79, 1}, {81, 1}, {82, 1}}},
        {C, {{84, 2}, {79, 1}}},
        {Am, {{81, 2}, {76, 1}}},
        {Dm, {{77, 1}, {81, 1}, {86, 1}}},
        {Gm, {{82, 1}, {81, 1}, {79, 1}}},
        {C, {{79, 2}, {76, 1}}},

        {Bb, {{74, 1}, {77, 1}, {82, 1}}},
        {F, {{81, 2}, {77, 1}}},
        {Gm, {{79, 1}, {82, 1}, {86, 1}}},
        {Dm, {{81, 2}, {77, 1}}},
        {Bb, {{77, 1}, {79, 1}, {82, 1}}},
        {F, {{81, 1}, {84, 1}, {81, 1}}},
        {C, {{79, 2}, {76, 1}}},
        {C7, {{79, 1}, {82, 1}, {76, 1}}},

        {F, {{77, 3}}},
        {F, {}},
    };
}

struct Event {
    int tick;
    int order;  // note-offs before note-ons at the same tick
    std::vector<std::uint8_t> bytes;
};

class Track {
public:
    void add(int tick, std::vector<std::uint8_t> bytes, int order = 1) { events_.push_back({tick, order, bytes}); }
    void note(int channel, int tick, int length, int pitch, int velocity) {
        add(tick, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(pitch),
                   static_cast<std::uint8_t>(velocity)});
        add(tick + length, {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(pitch), 0}, 0);
    }
    void meta(int tick, std::uint8_t type, std::vector<std::uint8_t> body) {
        std::vector<std::uint8_t> bytes = {0xFF, type, static_cast<std::uint8_t>(body.size())};
        bytes.insert(bytes.end(), body.begin(), body.end());
        add(tick, bytes);
    }
    void setup(int channel, int program, int volume, int reverb) {
        const auto status = static_cast<std::uint8_t>(0xB0 | channel);
        add(0, {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(program)});
        add(0, {status, 7, static_cast<std::uint8_t>(volume)});
        add(0, {status, 91, static_cast<std::uint8_t>(reverb)});
    }

    std::vector<std::uint8_t> chunk() {
        std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });
        std::vector<std::uint8_t> data;
        int now = 0;
        for (const auto& e : events_) {
            variable(data, e.tick - now);
            now = e.tick;
            data.insert(data.end(), e.bytes.begin(), e.bytes.end());
        }
        data.insert(data.end(), {0x00, 0xFF, 0x2F, 0x00});
        std::vector<std::uint8_t> out = {'M', 'T', 'r', 'k'};
        fixed(out, data.size(), 4);
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }

    static void fixed(std::vector<std::uint8_t>& out, std::size_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }

private:
    static void variable(std::vector<std::uint8_t>& out, int value) {
        std::uint8_t groups[4];
        int n = 0;
        do {
            groups[n++] = value & 0x7F;
            value >>= 7;
        } while (value > 0);
        while (n-- > 0) out.push_back(static_cast<std::uint8_t>(groups[n] | (n > 0 ? 0x80 : 0)));
    }

    std::vector<Event> events_;
};

std::vector<std::uint8_t> tempo(int bpm) {
    const int us = 60000000 / bpm;
    return {static_cast<std::uint8_t>(us >> 16), static_cast<std::uint8_t>(us >> 8), static_cast<std::uint8_t>(us)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.mid>\n", argv[0]);
        return 2;
    }
    const auto bars = score();
    const int last = static_cast<int>(bars.size()) - 1;

    Track conductor, tune, piano, strings;
    const std::string title = "Balloon waltz";
    conductor.meta(0, 0x03, std::vector<std::uint8_t>(title.begin(), title.end()));
    conductor.meta(0, 0x58, {3, 2, 24, 8});  // 3/4
    conductor.meta(0, 0x51, tempo(76));
    conductor.meta((last - 1) * kBar, 0x51, tempo(66));
    conductor.meta(last * kBar, 0x51, tempo(54));

    tune.setup(0, 10, 110, 60);    // music box
    piano.setup(1, 0, 96, 50);     // acoustic grand
    strings.setup(2, 49, 84, 70);  // slow strings

    for (int b = 0; b <= last; ++b) {
        const int start = b * kBar;
        const Bar& bar = bars[b];
        int at = start;
        for (const auto& n : bar.tune) {
            const bool held = b == last - 1;  // the last tune note rings through the final bar
            tune.note(0, at, held ? 2 * kBar : n.beats * kDivision - 24, n.pitch, 84);
            at += n.beats * kDivision;
        }

        const Chord& c = bar.chord;
        const int third = c.root + c.intervals[1], fifth = c.root + c.intervals[2];
        if (b < last) {
            // Broken chord in quavers: root, fifth, octave, tenth, octave, fifth (or seventh).
            const int top = c.intervals.size() > 3 ? c.root + c.intervals[3] + 12 : third + 12;
            const int figure[6] = {c.root, fifth, c.root + 12, top, c.root + 12, fifth};
            for (int i = 0; i < 6; ++i)
                piano.note(1, start + i * kDivision / 2, kDivision / 2 + (i == 0 ? kBar / 2 : 0), figure[i],
                           i == 0 ? 62 : 50);
        } else {
            for (int p : {c.root - 12, c.root, fifth, c.root + 12, third + 12}) piano.note(1, start, kBar, p, 54);
        }
        if (b >= 8) {
            const int length = b == last ? kBar : kBar - 12;
            for (int p : {c.root + 12, third + 12, fifth + 12}) strings.note(2, start, length, p, b == last ? 36 : 46);
        }
    }

    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 4};
    Track::fixed(file, kDivision, 2);
    for (Track* t : {&conductor, &tune, &piano, &strings}) {
        auto chunk = t->chunk();
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return out ? 0 : 1;
}
