// The open devices and the commands on them. Devices are addressed by alias, or by the
// file name when opened without one; names compare case-insensitively. Every check is made
// before anything changes, so a failed command leaves all devices as they were.
#include "platform/music/mmsystem.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/music/mci_command.h"
#include "platform/music/midi_file.h"
#include "platform/music/midi_sequencer.h"

namespace platform {
namespace {

using namespace mci;

// A MIDI file far larger than any song is refused rather than read into memory.
constexpr std::size_t kMaxMidiFileSize = 16 * 1024 * 1024;

struct Device {
    MidiTimeline timeline;
    std::unique_ptr<MidiSequencer> sequencer;
};

class Devices {
public:
    MCIERROR Run(const Command& command, std::string& reply) {
        std::lock_guard lock(mutex_);
        if (command.verb == "open") return OpenDevice(command);
        if (AsciiLower(command.device) == "all") {
            if (command.verb != "close") return kCannotUseAll;
            devices_.clear();
            return 0;
        }
        auto it = devices_.find(AsciiLower(command.device));
        if (it == devices_.end()) return kInvalidDeviceName;
        Device& device = it->second;
        if (command.verb == "play") return PlayDevice(device, command);
        if (command.verb == "stop") {
            device.sequencer->Stop();
            return 0;
        }
        if (command.verb == "close") {
            devices_.erase(it);
            return 0;
        }
        return Status(device, command, reply);
    }

private:
    MCIERROR OpenDevice(const Command& command) {
        if (AsciiLower(command.device) == "all") return kCannotUseAll;
        const bool aliased = command.Has("alias");
        const std::string name = AsciiLower(aliased ? command.Text("alias") : command.device);
        if (devices_.count(name)) return aliased ? kDuplicateAlias : kDeviceOpen;

        if (command.Has("type")) {
            if (AsciiLower(command.Text("type")) != "sequencer") return kCannotLoadDriver;
        } else {
            const std::string extension = AsciiLower(FileExtension(command.device));
            if (extension != "mid" && extension != "midi") return kExtensionNotFound;
        }

        std::vector<std::uint8_t> bytes;
        switch (ReadWholeFile(NativePath(command.device), bytes, kMaxMidiFileSize)) {
            case ReadResult::Read:
                break;
            case ReadResult::CannotOpen:
                return kFileNotFound;
            case ReadResult::TooLarge:
                return kInvalidFile;
        }
        auto timeline = MidiTimeline::Read(bytes);
        if (!timeline) return kInvalidFile;

        devices_.emplace(name, Device{*timeline, std::make_unique<MidiSequencer>(std::move(bytes))});
        return 0;
    }

    static MCIERROR PlayDevice(Device& device, const Command& command) {
        const std::uint32_t length = device.timeline.LengthMs();
        const auto from = command.Number("from");
        const auto to = command.Number("to");
        if ((from && *from > length) || (to && *to > length) || (from && to && *from > *to)) return kOutOfRange;
        auto ticks = [&](std::optional<std::uint32_t> ms) {
            return ms ? std::optional(device.timeline.MsToTicks(*ms)) : std::nullopt;
        };
        device.sequencer->Play(ticks(from), ticks(to));
        if (command.Has("wait")) device.sequencer->WaitUntilDone();
        return 0;
    }

    static MCIERROR Status(const Device& device, const Command& command, std::string& reply) {
        int items = 0;
        for (const char* item : {"mode", "ready", "length", "position"}) items += command.Has(item);
        if (items == 0) return kMissingParameter;
        if (items > 1) return kFlagsNotCompatible;
        const MidiSequencer& sequencer = *device.sequencer;
        if (command.Has("mode")) {
            switch (sequencer.CurrentMode()) {
                case MidiSequencer::Mode::Playing:
                    reply = "playing";
                    break;
                case MidiSequencer::Mode::Stopped:
                    reply = "stopped";
                    break;
            }
        } else if (command.Has("ready")) {
            reply = sequencer.Ready() ? "true" : "false";
        } else if (command.Has("length")) {
            reply = std::to_string(device.timeline.LengthMs());
        } else {
            reply = std::to_string(device.timeline.TicksToMs(sequencer.PositionTick()));
        }
        return 0;
    }

    std::mutex mutex_;
    std::map<std::string, Device> devices_;
};

Devices& AllDevices() {
    static Devices table;
    return table;
}

}  // namespace

MCIERROR mciSendStringA(const char* command, char* reply, unsigned reply_length, HWND /*callback*/) {
    if (reply && reply_length > 0) reply[0] = '\0';
    if (!command) return kMissingCommandString;
    const Parsed parsed = Parse(command);
    if (parsed.error) return parsed.error;
    std::string text;
    const MCIERROR error = AllDevices().Run(parsed.command, text);
    if (error || text.empty()) return error;
    if (!reply || text.size() + 1 > reply_length) return kParamOverflow;
    std::memcpy(reply, text.c_str(), text.size() + 1);
    return 0;
}

}  // namespace platform
