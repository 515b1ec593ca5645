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
    CardSession(CCardEngine& engine, const ScriptText& readerName) : session_(engine.session()) {
        result_ = CCardEngine::CheckReaderName(readerName);
        if (result_ != 0) return;
        connected_ = true;
        result_ = engine.ConnectCard(readerName, slot_, atr_);
    }
    CardSession(const CardSession&) = delete;
    CardSession& operator=(const CardSession&) = delete;
    ~CardSession() {
        if (connected_ && !keep_) session_.CloseReaderSession(slot_);
    }

    // 0, or what the connect answered.
    int32_t result() const { return result_; }
    int32_t slot() const { return slot_; }
    const reader::Atr& atr() const { return atr_; }
    // Leaves the reader session open past this scope (the card stays connected).
    void Keep() { keep_ = true; }

  private:
    reader::ReaderSession& session_;
    int32_t result_ = 0;
    int32_t slot_ = 0;
    reader::Atr atr_;
    bool connected_ = false;
    bool keep_ = false;
};

}  // namespace qorv::card
