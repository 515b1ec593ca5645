// The card session of a method that opens its own session on a named reader:
// it connects by name and, once a connect was tried, closes the reader
// session (card reset, context released) when it goes out of scope, on every
// exit of the method, unless the method keeps it open.
//
//   CardSession card(engine_, pReaderName);
//   if (card.result() != 0) return card.result();
//   ... exchanges on card.slot() ...
//   return 0;  // the reader session closes here
#pragma once

#include <cstdint>

#include "base/script_value.h"
#include "card/card_engine.h"
#include "reader/reader_session.h"

namespace qorv::card {

class CardSession {
  public:
    // Checks the name (8195, 8194 without any PC/SC call) and connects it.
    CardSession(CCardEngine& engine, const ScriptText& readerName)
        : engine_(engine), session_(engine.session()) {
        result_ = CCardEngine::CheckReaderName(readerName);
        if (result_ != 0) return;
        connected_ = true;
        result_ = engine.ConnectCard(readerName, slot_, atr_);
    }
    CardSession(const CardSession&) = delete;
    CardSession& operator=(const CardSession&) = delete;
    ~CardSession() { Close(); }

    // 0, or what the connect answered.
    int32_t result() const { return result_; }
    int32_t slot() const { return slot_; }
    const reader::Atr& atr() const { return atr_; }
    // Leaves the reader session open past this scope (the card stays connected).
    void Keep() { keep_ = true; }
    // Connects the named reader again in this session (a card taken out and
    // put back meanwhile is reset and answers afresh): 0 or the connect result.
    int32_t Reconnect(const ScriptText& readerName) {
        connected_ = true;
        result_ = engine_.ConnectCard(readerName, slot_, atr_);
        return result_;
    }
    // After a failed connect: leaves the session as it is. The connect kept
    // no handle of the named reader, so there is no card of ours to reset,
    // and closing the session would reset the card another call of the page
    // holds in slot 0 and release the context it works in.
    void KeepSessionAfterFailedConnect() {
        if (result_ != 0) connected_ = false;
    }
    // Closes the reader session now, where a method's steps must close it
    // before something else it does on the way out; later calls do nothing.
    void Close() {
        if (connected_ && !keep_) session_.CloseReaderSession(slot_);
        connected_ = false;
    }

  private:
    CCardEngine& engine_;
    reader::ReaderSession& session_;
    int32_t result_ = 0;
    int32_t slot_ = 0;
    reader::Atr atr_;
    bool connected_ = false;
    bool keep_ = false;
};

}  // namespace qorv::card
