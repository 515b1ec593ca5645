#include "tools/cardsim/card_profile.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tools/cardsim/hex.h"

namespace qorv::cardsim {

namespace {

using nlohmann::json;

// Reports the first problem met while reading a profile.
class ProfileReader {
  public:
    explicit ProfileReader(std::string* error) : error_(error) {}

    bool Fail(const std::string& message) {
        if (error_->empty()) {
            *error_ = message;
        }
        return false;
    }

    bool Status(const json& value, const std::string& what, uint16_t* status) {
        if (!value.is_string()) {
            return Fail(what + ": expected a status word such as \"6A82\"");
        }
        auto bytes = FromHex(value.get<std::string>());
        if (!bytes || bytes->size() != 2) {
            return Fail(what + ": expected 4 hexadecimal digits");
        }
        *status = static_cast<uint16_t>((*bytes)[0] << 8 | (*bytes)[1]);
        return true;
    }

    bool OnlyKeys(const json& object, const std::set<std::string>& allowed,
                  const std::string& what) {
        if (!object.is_object()) {
            return Fail(what + ": expected an object");
        }
        for (const auto& [key, value] : object.items()) {
            if (!allowed.contains(key)) {
                return Fail(what + ": unknown key \"" + key + "\"");
            }
        }
        return true;
    }

  private:
    std::string* error_;
};

// Bytes 0-1 of a text record hold its record number and the length of the text.
std::vector<uint8_t> TextRecord(size_t number, const std::string& text) {
    std::vector<uint8_t> record(2 + text.size());
    record[0] = static_cast<uint8_t>(number);
    record[1] = static_cast<uint8_t>(text.size());
    std::copy(text.begin(), text.end(), record.begin() + 2);
    return record;
}

bool ReadAccounts(ProfileReader& reader, const json& list, const std::string& what, size_t width,
                  size_t firstRecord, std::vector<std::vector<uint8_t>>* records) {
    if (!list.is_array() || list.size() > records->size() - (firstRecord - 1)) {
        return reader.Fail(what + ": expected an array of at most " +
                           std::to_string(records->size() - (firstRecord - 1)) + " accounts");
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].is_null()) {
            continue;  // keeps the zero-filled record
        }
        if (!list[i].is_string() || list[i].get<std::string>().size() != width) {
            return reader.Fail(what + "[" + std::to_string(i) + "]: expected " +
                               std::to_string(width) + " characters or null");
        }
        const size_t number = firstRecord + i;
        (*records)[number - 1] = TextRecord(number, list[i].get<std::string>());
    }
    return true;
}

std::vector<std::vector<uint8_t>>* RecordsOf(CardProfile* profile, const std::string& file) {
    if (file == "1001") {
        return &profile->ef1001;
    }
    if (file == "1002") {
        return &profile->ef1002;
    }
    return nullptr;
}

bool ReadRawRecords(ProfileReader& reader, const json& files, CardProfile* profile) {
    if (!reader.OnlyKeys(files, {"1001", "1002"}, "rawRecords")) {
        return false;
    }
    for (const auto& [file, records] : files.items()) {
        auto* target = RecordsOf(profile, file);
        if (!records.is_object()) {
            return reader.Fail("rawRecords." + file + ": expected an object");
        }
        for (const auto& [number, hex] : records.items()) {
            const size_t n = std::strtoul(number.c_str(), nullptr, 10);
            auto bytes = hex.is_string() ? FromHex(hex.get<std::string>()) : std::nullopt;
            if (n < 1 || n > target->size() || !bytes || bytes->empty() || bytes->size() > 255) {
                return reader.Fail("rawRecords." + file + "." + number +
                                   ": expected a record number and 1-255 bytes of hex");
            }
            (*target)[n - 1] = std::move(*bytes);
        }
    }
    return true;
}

bool ReadPin(ProfileReader& reader, const json& pin, CardProfile* profile) {
    if (!reader.OnlyKeys(pin, {"value", "tries", "wrongStatus", "locked", "lockedStatus"}, "pin")) {
        return false;
    }
    auto block = pin.contains("value") && pin["value"].is_string()
                     ? PinBlockFromDigits(pin["value"].get<std::string>())
                     : std::nullopt;
    if (!block) {
        return reader.Fail("pin.value: expected 6-12 digits");
    }
    profile->pinBlock = *block;
    profile->pinTries = pin.value("tries", 3);
    profile->pinLocked = pin.value("locked", false);
    if (pin.contains("wrongStatus")) {
        const auto text =
            pin["wrongStatus"].is_string() ? pin["wrongStatus"].get<std::string>() : std::string();
        if (text == "63Cx" || text == "63CX") {
            profile->wrongPinStatus = {0x63C0, true};
        } else if (!reader.Status(pin["wrongStatus"], "pin.wrongStatus",
                                  &profile->wrongPinStatus.status)) {
            return false;
        } else {
            profile->wrongPinStatus.withTriesLeft = false;
        }
    }
    return !pin.contains("lockedStatus") ||
           reader.Status(pin["lockedStatus"], "pin.lockedStatus", &profile->lockedPinStatus);
}

bool ReadTransaction(ProfileReader& reader, const json& transaction, CardProfile* profile) {
    if (!reader.OnlyKeys(transaction, {"snum", "tacKey", "tacKeyVersion"}, "transaction")) {
        return false;
    }
    profile->snum = transaction.value("snum", 1U);
    profile->tacKeyVersion = transaction.value("tacKeyVersion", static_cast<uint8_t>(1));
    auto key = transaction.contains("tacKey") && transaction["tacKey"].is_string()
                   ? FromHex(transaction["tacKey"].get<std::string>())
                   : std::nullopt;
    if (!key || key->size() != profile->tacKey.size()) {
        return reader.Fail("transaction.tacKey: expected 32 hexadecimal digits");
    }
    std::copy(key->begin(), key->end(), profile->tacKey.begin());
    return profile->snum <= 99999999 || reader.Fail("transaction.snum: at most 8 digits");
}

bool ReadPinPad(ProfileReader& reader, const json& pad, PinPadSettings* out) {
    if (!reader.OnlyKeys(pad, {"pin", "newPin", "answer"}, "pinPad")) {
        return false;
    }
    PinPadSettings settings;
    settings.active = true;
    const std::pair<const char*, std::optional<std::array<uint8_t, 8>>*> pins[] = {
        {"pin", &settings.pin}, {"newPin", &settings.newPin}};
    for (const auto& [key, target] : pins) {
        if (!pad.contains(key)) {
            continue;
        }
        *target =
            pad[key].is_string() ? PinBlockFromDigits(pad[key].get<std::string>()) : std::nullopt;
        if (!*target) {
            return reader.Fail(std::string("pinPad.") + key + ": expected 6-12 digits");
        }
    }
    const auto answer = pad.value("answer", std::string("typed"));
    if (answer == "cancel") {
        settings.answer = PadAnswer::Cancelled;
    } else if (answer == "timeout") {
        settings.answer = PadAnswer::TimedOut;
    } else if (answer != "typed") {
        return reader.Fail("pinPad.answer: expected \"typed\", \"cancel\" or \"timeout\"");
    } else if (!settings.pin) {
        return reader.Fail("pinPad.pin: the PIN the customer types is missing");
    }
    *out = std::move(settings);
    return true;
}

bool ReadFaults(ProfileReader& reader, const json& faults, CardFaults* out) {
    if (!reader.OnlyKeys(faults,
                         {"selectApplication", "readBinary", "transactionWrite", "writePin",
                          "readRecord", "refuseExtendedRead"},
                         "faults")) {
        return false;
    }
    const std::pair<const char*, std::optional<uint16_t>*> single[] = {
        {"selectApplication", &out->selectApplication},
        {"readBinary", &out->readBinary},
        {"transactionWrite", &out->transactionWrite},
        {"writePin", &out->writePin}};
    for (const auto& [key, target] : single) {
        uint16_t status = 0;
        if (faults.contains(key)) {
            if (!reader.Status(faults[key], std::string("faults.") + key, &status)) {
                return false;
            }
            *target = status;
        }
    }
    out->refuseExtendedRead = faults.value("refuseExtendedRead", false);
    if (faults.contains("readRecord")) {
        if (!reader.OnlyKeys(faults["readRecord"], {"1001", "1002"}, "faults.readRecord")) {
            return false;
        }
        for (const auto& [file, records] : faults["readRecord"].items()) {
            const auto fileId = static_cast<uint16_t>(std::stoul(file, nullptr, 16));
            if (!records.is_object()) {
                return reader.Fail("faults.readRecord." + file + ": expected an object");
            }
            for (const auto& [number, status] : records.items()) {
                uint16_t value = 0;
                if (!reader.Status(status, "faults.readRecord." + file + "." + number, &value)) {
                    return false;
                }
                out->readRecord[{fileId, std::strtoul(number.c_str(), nullptr, 10)}] = value;
            }
        }
    }
    return true;
}

bool ReadProfile(ProfileReader& reader, const json& root, CardProfile* profile) {
    if (!reader.OnlyKeys(
            root,
            {"name", "comment", "serial", "issuer", "remark", "ef1001Accounts", "ef1002Accounts",
             "rawRecords", "pin", "transaction", "readAllRecordCount", "faults", "pinPad"},
            "profile")) {
        return false;
    }
    profile->name = root.value("name", std::string("unnamed"));
    auto serial = root.contains("serial") && root["serial"].is_string()
                      ? FromHex(root["serial"].get<std::string>())
                      : std::nullopt;
    if (!serial || serial->size() != profile->serial.size()) {
        return reader.Fail("serial: expected 16 hexadecimal digits");
    }
    std::copy(serial->begin(), serial->end(), profile->serial.begin());

    // Unset account records hold sixteen (or 24) '0' characters, as on a blank card.
    profile->ef1001.assign(kEf1001Records, {});
    for (size_t n = 3; n <= kEf1001Records; ++n) {
        profile->ef1001[n - 1] = TextRecord(n, std::string(16, '0'));
    }
    profile->ef1002.assign(kEf1002Records, {});
    for (size_t n = 1; n <= kEf1002Records; ++n) {
        profile->ef1002[n - 1] = TextRecord(n, std::string(24, '0'));
    }
    const auto issuer = root.value("issuer", std::string());
    if (issuer.size() != 8) {
        return reader.Fail("issuer: expected 8 characters");
    }
    profile->ef1001[0] = TextRecord(1, issuer);
    auto remark = root.contains("remark") && root["remark"].is_string()
                      ? FromHex(root["remark"].get<std::string>())
                      : std::nullopt;
    if (!remark || remark->size() != 30) {
        return reader.Fail("remark: expected 30 bytes as 60 hexadecimal digits");
    }
    profile->ef1001[1] = {0x02, 30};
    profile->ef1001[1].insert(profile->ef1001[1].end(), remark->begin(), remark->end());

    if ((root.contains("ef1001Accounts") &&
         !ReadAccounts(reader, root["ef1001Accounts"], "ef1001Accounts", 16, 3,
                       &profile->ef1001)) ||
        (root.contains("ef1002Accounts") &&
         !ReadAccounts(reader, root["ef1002Accounts"], "ef1002Accounts", 24, 1,
                       &profile->ef1002)) ||
        (root.contains("rawRecords") && !ReadRawRecords(reader, root["rawRecords"], profile))) {
        return false;
    }
    if (!root.contains("pin") || !ReadPin(reader, root["pin"], profile)) {
        return reader.Fail("pin: missing");
    }
    if (!root.contains("transaction") || !ReadTransaction(reader, root["transaction"], profile)) {
        return reader.Fail("transaction: missing");
    }
    profile->readAllRecordCount = root.value("readAllRecordCount", size_t{3});
    if (root.contains("pinPad") && !ReadPinPad(reader, root["pinPad"], &profile->pinPad)) {
        return false;
    }
    return !root.contains("faults") || ReadFaults(reader, root["faults"], &profile->faults);
}

}  // namespace

std::optional<std::array<uint8_t, 8>> PinBlockFromDigits(const std::string& digits) {
    if (digits.size() < 6 || digits.size() > 12) {
        return std::nullopt;
    }
    std::array<uint8_t, 8> block{};
    block.fill(0xFF);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (digits[i] < '0' || digits[i] > '9') {
            return std::nullopt;
        }
        const auto value = static_cast<uint8_t>(digits[i] - '0');
        uint8_t& byte = block[i / 2];
        byte = i % 2 == 0 ? static_cast<uint8_t>(value << 4 | 0x0F)
                          : static_cast<uint8_t>((byte & 0xF0) | value);
    }
    return block;
}

namespace {

bool ReadProfileJson(const json& root, CardProfile* profile, std::string* error) {
    error->clear();
    ProfileReader reader(error);
    CardProfile loaded;
    try {
        if (!ReadProfile(reader, root, &loaded)) {
            return false;
        }
    } catch (const json::exception& e) {
        // A value of the wrong type (for example a string where a number belongs).
        return reader.Fail(e.what());
    } catch (const std::exception& e) {
        return reader.Fail(e.what());
    }
    *profile = std::move(loaded);
    return true;
}

// Reads a profile file; a "base" entry names another profile (relative to this
// file's folder) whose values this file patches (JSON merge patch).
bool LoadMergedJson(const std::filesystem::path& path, int depth, nlohmann::json* merged,
                    std::string* error) {
    std::ifstream file(path);
    if (!file) {
        *error = "cannot open " + path.string();
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    auto root = nlohmann::json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded() || !root.is_object()) {
        *error = path.string() + ": not a JSON object";
        return false;
    }
    if (!root.contains("base")) {
        *merged = std::move(root);
        return true;
    }
    if (!root["base"].is_string() || depth > 4) {
        *error = path.string() + ": \"base\" must name a profile (at most 4 levels)";
        return false;
    }
    if (!LoadMergedJson(path.parent_path() / root["base"].get<std::string>(), depth + 1, merged,
                        error)) {
        return false;
    }
    root.erase("base");
    merged->merge_patch(root);
    return true;
}

}  // namespace

bool ParseCardProfile(const std::string& text, CardProfile* profile, std::string* error) {
    const json root = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded()) {
        *error = "not valid JSON";
        return false;
    }
    return ReadProfileJson(root, profile, error);
}

bool LoadCardProfile(const std::string& path, CardProfile* profile, std::string* error) {
    nlohmann::json merged;
    if (!LoadMergedJson(path, 0, &merged, error)) {
        return false;
    }
    if (!ReadProfileJson(merged, profile, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

}  // namespace qorv::cardsim
