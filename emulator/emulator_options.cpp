#include "emulator/emulator_options.h"

bool BEmulatorOptions::Parse(const std::vector<std::string>& arguments, std::string& error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    auto flag = [&](const char* option) { return name == option; };
    auto valued = [&](const char* option) {
      if (name != option) return false;
      if (i + 1 >= arguments.size()) {
        error = std::string(option) + " needs a value";
        return false;
      }
      return true;
    };
    std::string value;
    uint64_t number = 0;
    if (flag("--help") || flag("-h")) {
      help = true;
    } else if (flag("--exit-on-eof")) {
      exitOnEof = true;
    } else if (flag("--pace")) {
      pace = true;
    } else if (flag("--silent")) {
      faults.silent = true;
    } else if (valued("--device")) {
      device = arguments[++i];
    } else if (valued("--link")) {
      link = arguments[++i];
    } else if (valued("--state")) {
      stateFile = arguments[++i];
    } else if (valued("--other-state")) {
      otherState = arguments[++i];
      if (otherState.empty()) {
        error = "--other-state needs a file name";
        return false;
      }
    } else if (valued("--log")) {
      logFile = arguments[++i];
    } else if (valued("--chips")) {
      if (!ParseNumber(arguments[++i], 255, number)) {
        error = "--chips takes a number 0..255";
        return false;
      }
      chips = static_cast<uint8_t>(number);
    } else if (valued("--delay")) {
      if (!ParseNumber(arguments[++i], 600000, number)) {
        error = "--delay takes milliseconds 0..600000";
        return false;
      }
      delayMs = static_cast<uint32_t>(number);
    } else if (valued("--seed")) {
      if (!ParseNumber(arguments[++i], 0xFFFFFFFFull, number)) {
        error = "--seed takes a number 0..4294967295";
        return false;
      }
      seed = static_cast<uint32_t>(number);
    } else if (valued("--noise")) {
      if (!faults.ParseNoise(arguments[++i], error)) return false;
    } else if (valued("--garbage")) {
      if (!ParseNumber(arguments[++i], 100, number)) {
        error = "--garbage takes a percentage 0..100";
        return false;
      }
      faults.garbagePercent = static_cast<uint32_t>(number);
    } else if (valued("--bad-cell")) {
      if (!faults.ParseBadCell(arguments[++i], error)) return false;
    } else if (valued("--corrupt-checksum")) {
      if (!faults.corruptChecksum.Parse(arguments[++i], error)) return false;
    } else if (valued("--drop-reply")) {
      if (!faults.dropReply.Parse(arguments[++i], error)) return false;
    } else if (valued("--repeat-reply")) {
      if (!faults.repeatReply.Parse(arguments[++i], error)) return false;
    } else if (valued("--swap-at")) {
      if (!faults.swapAt.Parse(arguments[++i], error)) return false;
    } else if (valued("--late-copy")) {
      if (!faults.lateCopy.Parse(arguments[++i], error)) return false;
    } else if (valued("--flip-bit")) {
      if (!faults.flipBit.Parse(arguments[++i], error)) return false;
    } else if (valued("--chatter")) {
      if (!BChatter::Parse(arguments[++i], faults.chatter, error)) return false;
    } else if (valued("--refuse-address")) {
      if (!faults.ParseRefusedAddress(arguments[++i], error)) return false;
    } else if (valued("--refuse-table")) {
      BTableRefusal rule;
      if (!BTableRefusal::Parse(arguments[++i], rule, error)) return false;
      faults.tableRefusals.push_back(rule);
    } else if (valued("--lose-table")) {
      BTableRefusal rule;
      if (!BTableRefusal::ParseLoss(arguments[++i], rule, error)) return false;
      faults.tableLosses.push_back(rule);
    } else {
      if (error.empty()) error = "unknown option '" + name + "' (see --help)";
      return false;
    }
  }
  return true;
}

std::string BEmulatorOptions::Usage(const std::string& program) {
  return "Usage: " + program +
         " [OPTION]...\n"
         R"(Plays a siren on a serial line: answers the siren protocol (115200 baud 8N1)
on a new pseudo-terminal, or on a named serial device. The first line written
to stdout is the path of the line's far end (the pseudo-terminal slave).

Line:
  --device PATH          serve this serial device instead of a pseudo-terminal
  --link PATH            make PATH a symbolic link to the line's path (replacing
                         what is there) and remove it on exit; e.g.
                         $WINEPREFIX/dosdevices/com1
  --pace                 keep the timing of a real 115200 baud 8N1 line
                         (86.8 us per byte) in both directions
  --delay MS             wait MS milliseconds after a request before replying
                         (16 plays the latency timer of a USB serial adapter)

Device:
  --chips N              memory chips reported (0..255, default 4); the memory
                         is min(N, 4) x 65535 bytes, none for 0
  --state FILE           load the memory, fragment table, playlist and button
                         bindings from FILE if it exists; save them there on exit
  --other-state FILE     the other siren (see --swap-at) takes its memory and
                         tables from the state file FILE, which is only read
  --exit-on-eof          exit (saving the state) when stdin reaches end of file

Faults (requests are numbered from 1; LIST is N, N-M, N- or /K, comma-separated):
  --noise N[:PERCENT]    send N random bytes (never 0x55) before each reply, or
                         before PERCENT % of the replies
  --garbage PERCENT      before PERCENT % of the replies, a burst of frame-like
                         garbage (start bytes, wrong lengths, frames cut short,
                         whole frames that answer nothing), always one the
                         reply survives; such a reply may come in two pieces
  --seed N               seed of the noise bytes (default 1)
  --corrupt-checksum LIST  invert the checksum of the replies to these requests
  --drop-reply LIST      do not answer these requests
  --repeat-reply LIST    send the replies to these requests twice, back to back
  --swap-at LIST         after the reply to each of these requests the line
                         leads to another siren (its memory random and its table
                         empty, or as --other-state says), and back; SIGUSR1
                         does the same at once
  --late-copy LIST       send the replies to these requests a second time, late:
                         right before the reply to the next request, or after
                         20 ms without a request
  --flip-bit LIST        flip one bit in the reply frames to these requests
                         (byte and bit drawn from --seed; never a valid frame)
  --chatter KIND:MS[:N]  answer nothing and send every MS milliseconds N random
                         bytes (KIND noise, N default 8) or a detect reply
                         (KIND detect), like another device on the port
  --refuse-address ADDR  memory reads and writes of ADDR (or FIRST-LAST) answer
                         status 255; repeatable
  --refuse-table KIND:INDEX[:STATUS[:TIMES]]
                         writes of a table entry answer STATUS (default 1)
                         without storing it, the first TIMES times (default:
                         always); KIND is fragment, playlist or button, INDEX a
                         number or *; repeatable
  --lose-table KIND:INDEX[:TIMES]
                         writes of a table entry that the siren would store
                         answer status 0 but store nothing, the first TIMES
                         times (default: always); KIND and INDEX as for
                         --refuse-table; repeatable
  --bad-cell ADDR        memory writes of ADDR (or FIRST-LAST) answer status 0
                         but the cell keeps what it held; repeatable
  --silent               never answer anything

Other:
  --log FILE             log every frame received and sent and every injected
                         fault, one line each; "-" logs to stderr
  --help                 show this help

Requests with an unknown code or a wrong length are skipped like line noise
and never answered. SIGINT and SIGTERM end the emulator cleanly.
)";
}
