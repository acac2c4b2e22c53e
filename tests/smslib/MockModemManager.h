// The ModemManager stand-in (mock_modemmanager.py beside this file) run for one test, with a
// D-Bus bus of its own: the library is pointed at that bus through
// MOVIRA_MODEMMANAGER_BUS_ADDRESS, and what the modem was given is read back from its record.
// Usable by any test: make one, check ready(), call setBusVariable(), run, read records().
#pragma once

#include "tests/gpsapi/ChildProcess.h"

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace movira::test {

// One line of the record (the mock's header comment describes them all).
struct SmsRecord {
    std::string event;   // "create", "send" or "delete"
    std::string result;  // of a send: "accepted", "failed" or "no-answer"
    std::string modem;   // object path of the modem
    std::string sms;     // object path of the message
    std::string number;
    std::string text;
    std::optional<long> messageClass;  // the "class" the message was created with
};

class MockModemManager {
public:
    static constexpr const char* script = MOVIRA_SOURCE_DIR "/tests/smslib/mock_modemmanager.py";
    static constexpr const char* python = MOVIRA_SMS_MOCK_PYTHON;  // empty: none can run the mock
    static constexpr const char* dbusDaemon = MOVIRA_DBUS_DAEMON;
    static constexpr const char* busVariable = "MOVIRA_MODEMMANAGER_BUS_ADDRESS";

    // Why the mock cannot run here, or empty when it can.
    static std::string missing() {
        if (std::string(dbusDaemon).empty() || access(dbusDaemon, X_OK) != 0) {
            return "dbus-daemon is not installed (Debian package dbus-daemon)";
        }
        if (std::string(python).empty() || access(python, X_OK) != 0) {
            return "no python3 with the dbus and gi modules (Debian python3-dbus, python3-gi)";
        }
        return {};
    }

    explicit MockModemManager(const std::string& mode = "normal") {
        char pattern[] = "/tmp/movira-mm-XXXXXX";
        if (!mkdtemp(pattern)) return;
        folder_ = pattern;
        record_ = folder_ + "/record.jsonl";
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{python, script, "--mode", mode, "--record", record_});
        if (!process_->started()) return;
        if (auto line = process_->readLine(std::chrono::seconds(20))) address_ = *line;
    }
    ~MockModemManager() {
        process_.reset();
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    MockModemManager(const MockModemManager&) = delete;
    MockModemManager& operator=(const MockModemManager&) = delete;

    bool ready() const { return !address_.empty(); }
    const std::string& address() const { return address_; }
    void setBusVariable() const { setenv(busVariable, address_.c_str(), 1); }
    // Ends the mock and its bus (the address stays known, and now leads nowhere).
    void stop() {
        if (process_) process_->terminate();
    }

    std::vector<SmsRecord> records() const {
        std::vector<SmsRecord> records;
        std::ifstream in(record_);
        for (std::string line; std::getline(in, line);) {
            SmsRecord record;
            record.event = stringField(line, "event").value_or("");
            record.result = stringField(line, "result").value_or("");
            record.modem = stringField(line, "modem").value_or("");
            record.sms = stringField(line, "sms").value_or("");
            record.number = stringField(line, "number").value_or("");
            record.text = stringField(line, "text").value_or("");
            record.messageClass = numberField(line, "class");
            records.push_back(record);
        }
        return records;
    }
    std::vector<SmsRecord> records(const std::string& event) const {
        std::vector<SmsRecord> chosen;
        for (SmsRecord& record : records()) {
            if (record.event == event) chosen.push_back(std::move(record));
        }
        return chosen;
    }

    // The first string value of `key` in one JSON line as the mock writes it (top-level keys come
    // before the nested "properties"; a quote inside a value is always escaped, so the search
    // never lands inside one).
    static std::optional<std::string> stringField(const std::string& line, const std::string& key) {
        const std::string opening = "\"" + key + "\": \"";
        size_t at = line.find(opening);
        if (at == std::string::npos) return std::nullopt;
        std::string value;
        for (at += opening.size(); at < line.size(); ++at) {
            const char c = line[at];
            if (c == '"') return value;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (++at >= line.size()) break;
            switch (line[at]) {
            case 'n': value += '\n'; break;
            case 't': value += '\t'; break;
            case 'r': value += '\r'; break;
            case 'b': value += '\b'; break;
            case 'f': value += '\f'; break;
            case 'u': {
                // Only control characters come escaped (the file is UTF-8): one unit, no pairs.
                if (at + 4 >= line.size()) return std::nullopt;
                const unsigned long unit = std::stoul(line.substr(at + 1, 4), nullptr, 16);
                at += 4;
                if (unit < 0x80) {
                    value += static_cast<char>(unit);
                } else if (unit < 0x800) {
                    value += static_cast<char>(0xC0 | (unit >> 6));
                    value += static_cast<char>(0x80 | (unit & 0x3F));
                } else {
                    value += static_cast<char>(0xE0 | (unit >> 12));
                    value += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
                    value += static_cast<char>(0x80 | (unit & 0x3F));
                }
                break;
            }
            default: value += line[at]; break;  // \" \\ \/
            }
        }
        return std::nullopt;
    }
    static std::optional<long> numberField(const std::string& line, const std::string& key) {
        const std::string opening = "\"" + key + "\": ";
        const size_t at = line.find(opening);
        if (at == std::string::npos) return std::nullopt;
        char* end = nullptr;
        const char* start = line.c_str() + at + opening.size();
        const long value = std::strtol(start, &end, 10);
        if (end == start) return std::nullopt;
        return value;
    }

private:
    std::string folder_;
    std::string record_;
    std::unique_ptr<ChildProcess> process_;
    std::string address_;
};

}  // namespace movira::test
