// SPDX-License-Identifier: Apache-2.0
// Writes the seed corpora of the fuzz targets from the simulator's devices: their search answers, and
// their configuration replies whole and cut into datagrams as a device may send them. Run from the
// repository's root after a change of the message shapes:
//   clang++ -std=c++20 -Isrc/protocol -Isrc/devsim fuzz/make_seeds.cpp src/devsim/device.cpp \
//       src/protocol/*.cpp -o /tmp/make_seeds && /tmp/make_seeds fuzz/corpus

#include "catalogue.h"
#include "device.h"
#include "modeltable.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kMarker = "\xFF\xFF";

void write(const std::filesystem::path& dir, const std::string& name, const std::string& bytes)
{
    std::filesystem::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::size_t windowIndex(const std::string& name)
{
    const auto& catalogue = lv::windowCatalogue();
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        if (catalogue[i].name == name)
            return i;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path root = argc > 1 ? argv[1] : "fuzz/corpus";
    const std::vector<std::string>& models = lv::simulatedModels();
    std::vector<lv::Device> devices;
    // A handful: the first three single-port and the first three multi-port devices.
    int single = 0;
    int multi = 0;
    for (std::size_t i = 0; i < models.size(); ++i) {
        lv::Device device = lv::makeDevice(models[i], static_cast<int>(i), i % 2 ? "" : "pw");
        int& count = device.windowDef->isMultiPort() ? multi : single;
        if (count++ < 3)
            devices.push_back(std::move(device));
    }

    // Search answers: one sequence of all of them, one with a repeat and a rewrite, a few alone.
    std::string all;
    for (std::size_t i = 0; i < devices.size(); ++i)
        all += (i ? kMarker : "") + devices[i].searchAnswer();
    write(root / "fuzz_devicelist", "all", all);
    write(root / "fuzz_devicelist", "repeat_rewrite",
          devices[0].searchAnswer() + kMarker + devices[1].searchAnswer() + kMarker + devices[0].searchAnswer() +
              kMarker + "\xFE\x01" + "AX 0.80.194.0.0.9/10.1.2.3/NEWID\r");
    write(root / "fuzz_devicelist", "no_cr", "AX 0.80.194.1.2.3/192.168.1.20/DEV1");
    write(root / "fuzz_protocol", "search", devices[0].searchAnswer());
    write(root / "fuzz_macchange", "changed",
          std::string(1, static_cast<char>(devices[0].searchAnswer().size())) + devices[0].searchAnswer() +
              "AOld MAC: 0.80.194.0.0.1\r\nNew MAC: 0.80.194.0.0.7\r");
    write(root / "fuzz_macchange", "unchanged",
          std::string(1, static_cast<char>(devices[1].searchAnswer().size())) + devices[1].searchAnswer() +
              "AOld MAC: 0.80.194.0.0.2\r\nNew MAC: 0.80.194.0.0.2\r");

    for (std::size_t i = 0; i < devices.size(); ++i) {
        const lv::Device& device = devices[i];
        const std::string name = device.model.empty() ? "device" + std::to_string(i) : device.model;
        const lv::Device::Reply reply = device.configurationReply();
        const std::string text = reply.text;
        const char window = static_cast<char>(windowIndex(device.window));
        write(root / "fuzz_protocol", name, text);
        write(root / "fuzz_loaders", name, std::string(1, window) + text);
        // The same reply with two edits: the first field by its set rule, the second by its control.
        write(root / "fuzz_loaders", name + "_edited",
              std::string(1, window) + text + kMarker + std::string("\x00\x00", 2) + "10.0.0.9" + kMarker + "\x01\x03" +
                  "7");
        // The reply as one datagram, and cut at its middle item with "MAC" in the first part, for the
        // device asked (mode 0x80: 0.80.194.1.2.3 is not every device, so both outcomes are seeded).
        const std::size_t cut =
            reply.itemStarts.empty() ? text.size() / 2 : reply.itemStarts[reply.itemStarts.size() / 2];
        const lv::Device::Reply early = device.configurationReply(nullptr, true);
        const std::size_t earlyCut =
            early.itemStarts.empty() ? early.text.size() / 2 : early.itemStarts[early.itemStarts.size() / 2];
        write(root / "fuzz_replybuffer", name + "_whole", std::string("\x80") + '\0' + text);
        write(root / "fuzz_replybuffer", name + "_split",
              std::string("\x80") + '\0' + text.substr(0, cut) + kMarker + '\0' + text.substr(cut));
        write(root / "fuzz_replybuffer", name + "_markerfirst",
              std::string("\x81") + "\x00?" + kMarker + '\0' + early.text.substr(0, earlyCut) + kMarker + '\0' +
                  early.text.substr(earlyCut));
        // PatchDeviceLine on the device's own line: IP and device ID changed.
        const std::string line =
            "      00-50-C2-00-00-01                    " + device.ip() + "   " + device.deviceId();
        write(root / "fuzz_linepatch", name,
              std::string("\x03") + line + kMarker + device.ip() + kMarker + "192.168.100.200" + kMarker +
                  device.deviceId() + kMarker + "NEWID");
    }
    // Oversized: a search answer with a 3,000-character IP (the target is given at most 4 KB), and an
    // answer that starts like a reply and fills the buffer (29 datagrams of 8,800 bytes and one more)
    // so that the real reply after it reaches the bound exactly, then a datagram that no longer fits.
    write(root / "fuzz_devicelist", "huge_ip",
          "AX 0.80.194.1.2.3/" + std::string(3000, '1') + "/BIG\r" + kMarker + devices[0].searchAnswer());
    const std::string floodReply = devices[0].configurationReply().text;
    const std::size_t bound = 256 * 1024; // the reply buffer's
    write(root / "fuzz_replybuffer", "flood",
          std::string("\x80") + '\x1C' + "A" + std::string(8799, 'x') + kMarker + '\0' +
              std::string(bound - 29 * 8800 - floodReply.size(), 'x') + kMarker + '\0' + floodReply + kMarker + '\0' +
              "A");
    write(root / "fuzz_replybuffer", "update_answer", std::string("\x00", 1) + '\0' + "A OK\rMAC\r");
    write(root / "fuzz_replybuffer", "foreign",
          std::string("\x80") + '\0' + "AG VER:1.0\r<MacAddress>00-50-C2-09-09-09</MacAddress>\rMAC\rMODEL: KR770A" +
              kMarker + '\0' + "AG VER:1.0\r<MacAddress>00:50:c2:01:02:03</MacAddress>\rMAC\rMODEL: KR770A");
    // The reply for the device asked cut inside its "MODEL: ", after "MAC" and the MacAddress item.
    write(root / "fuzz_replybuffer", "model_cut",
          std::string("\x80") + '\0' + "AG VER:1.0\r<MacAddress>00:50:c2:01:02:03</MacAddress>\rMAC\rMOD" + kMarker +
              '\0' + "EL: KR770A");
    write(root / "fuzz_linepatch", "short",
          std::string("\x01") + "      00-50-C2" + kMarker + "1.2.3.4" + kMarker + "10.0.0.1");
    for (const auto& [name, text] :
         std::vector<std::pair<std::string, std::string>>{{"mactext", "00-50-c2-01-02-03"},
                                                          {"maccolon", "00:50:C2:1:2:3"},
                                                          {"macfield", "0.80.194.1.2.3"},
                                                          {"ip", "192.168.1.20"},
                                                          {"label", "9600"},
                                                          {"entry", "#2"},
                                                          {"item", "a</DeviceID><IPAddress>6.6.6.6"}})
        write(root / "fuzz_cliparse", name, std::string("\x05") + text);

    // Plans of apply: the shapes export writes, defaults, numbers, every selector form, and a few
    // refused ones (unknown key, a device named twice, a value that is neither text nor a number).
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"exported", "{\n    \"devices\": [\n        {\n            \"device\": \"00-50-C2-00-00-01\",\n"
                          "            \"set\": {\n                \"DeviceID\": \"Pump-7\",\n"
                          "                \"IPAddress\": \"192.168.1.41\",\n                \"SIOBaud\": \"9600\"\n"
                          "            },\n            \"window\": \"frmSetupKr770A\"\n        }\n    ]\n}\n"},
             {"defaults", "{\"defaults\": {\"password\": \"pw\", \"set\": {\"SIOBaud\": \"115200\"}},"
                          " \"devices\": [{\"device\": \"00-50-C2-00-00-03\", \"set\": {\"DeviceID\": \"Pump-7\"}},"
                          " {\"device\": \"192.168.1.41\", \"password\": \"secret\", \"window\": \"frmSetupKr770A\","
                          " \"set\": {\"SIOBaud\": 19200, \"COM2_Baud\": \"#3\"}}]}"},
             {"selectors", "{\"devices\": [{\"device\": \"0.80.194.1.2.3\"}, {\"device\": \"00:50:c2:01:02:04\"},"
                           " {\"device\": \"10.0.0.5\", \"set\": {\"DeviceID\": \"***\"}}]}"},
             {"unknown_key", "{\"devices\": [{\"device\": \"10.0.0.5\", \"sett\": {}}]}"},
             {"twice", "{\"devices\": [{\"device\": \"00-50-C2-00-00-01\"}, {\"device\": \"0.80.194.0.0.1\"}]}"},
             {"bad_value", "{\"devices\": [{\"device\": \"10.0.0.5\", \"set\": {\"SIOBaud\": 1.5}}]}"},
             {"broken", "{\"devices\": [{\"device\": \"10.0.0.5\",\n  \"set\": {\"DeviceID\": \"a\" \"b\"}}]}"}})
        write(root / "fuzz_plan", name, text);

    // CSV plans: the shape export writes (CRLF, a quoted cell), semicolons after a byte-order mark with the
    // entry's own columns, a quoted line end, a selection, and refused ones (a quote never closed, a
    // header name twice, a tag and its role that differ).
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"exported",
              "device,ip,deviceId,port1.baud,SetupPassword\r\n00-50-C2-00-00-01,192.168.1.41,Pump-7,9600,***\r\n"
              "00-50-C2-00-00-02,192.168.1.42,\"Hall 2, \"\"west\"\"\",115200,\r\n"},
             {"semicolons", "\xef\xbb\xbf"
                            "device;window;password;SIOBaud\n192.168.1.41;frmSetupKr770A;secret;19200\n;;;\n"
                            "0.80.194.1.2.3;;;#3"},
             {"quoted_lines", "device,DeviceID\n10.0.0.5,\"two\r\nlines\"\n\n10.0.0.6,x\n"},
             {"select", "select,DeviceID\nmodel=KR-770A,Pump\n"},
             {"unterminated", "device,DeviceID\n10.0.0.5,\"open\n"},
             {"header_twice", "device,DeviceID,DeviceID\n10.0.0.5,a,b\n"},
             {"refused", "device,ip,IPAddress\n10.0.0.5,10.0.0.9,10.0.0.8\n00-50-C2-00-00-01,,\n0.80.194.0.0.1,,\n"}})
        write(root / "fuzz_csvplan", name, text);

    // The dictionary: every tag of the catalogue, alone and as opening and closing tag, and the markers.
    std::set<std::string> tags{std::string(lv::kMacAddressTag)};
    for (const lv::WindowDef& window : lv::windowCatalogue()) {
        for (const lv::FieldDef& field : window.fields)
            if (!field.tag.empty())
                tags.insert(field.tag);
        tags.insert(window.itemOrder.begin(), window.itemOrder.end());
    }
    std::ofstream dict(root.parent_path() / "linkvane.dict");
    dict << "# Tags of the catalogue and the markers of the replies; written by make_seeds.cpp.\n";
    for (const std::string& tag : tags)
        dict << "\"" << tag << "\"\n\"<" << tag << ">\"\n\"</" << tag << ">\"\n";
    for (const char* marker :
         {"MAC", "MODEL: ",   "devices",   "defaults",   "device",          "password",   "window",    "set",  "select",
          ",",   ";",         "\\\"\\\"",  "\\x0d\\x0a", "\\xef\\xbb\\xbf", "\\\"",       "\\\\u00e9", "VER:", "AX ",
          "AG ", "Old MAC: ", "New MAC: ", "\\x0d",      "\\x00",           "\\xff\\xff", "\\xfe"})
        dict << "\"" << marker << "\"\n";
    return 0;
}
