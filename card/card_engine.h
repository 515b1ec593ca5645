// CCardEngine: the object on which every engine operation of the control
// runs. It addresses the card through the process-wide reader session, either
// by the control's current reader index or by a reader name it connects and
// closes itself, and reaches the person through the user-interface seam.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "card/data_process.h"
#include "control/script_value.h"
#include "dialogs/user_interface.h"
#include "reader/reader_session.h"

namespace qorv::card {

using control::ScriptText;

// Result codes of the engine's argument checks.
inline constexpr int32_t kReaderNameMissing = 4099;
inline constexpr int32_t kBadLength = 8194;
inline constexpr int32_t kArgumentMissing = 8195;

using ReaderList = std::array<reader::ReaderName, reader::kSlotCount>;

class CCardEngine {
  public:
    CCardEngine(reader::ReaderSession& session, dialogs::UserInterface& ui)
        : session_(session), ui_(ui) {}

    reader::ReaderSession& session() { return session_; }
    dialogs::UserInterface& ui() { return ui_; }
    const CDataProcess& dataProcess() const { return dataProcess_; }

    // Reader methods.
    int32_t ConnectReader();
    int32_t ListReaders(ReaderList& list, int32_t& count);
    // `readerIndex` is set to 0 first and receives the slot that was connected.
    int32_t ConnectCard(const ScriptText& readerName, int32_t& readerIndex, reader::Atr& atr);
    int32_t CheckCardInsert(int32_t readerIndex);
    int32_t DisconnectCard(int32_t readerIndex);
    int32_t DisconnectReader(int32_t readerIndex);
    int32_t ReleaseSession();

  private:
    reader::ReaderSession& session_;
    dialogs::UserInterface& ui_;
    CDataProcess dataProcess_;
};

}  // namespace qorv::card
