// The reader methods of the engine: thin over the reader session.
#include "card/card_engine.h"

namespace qorv::card {

int32_t CCardEngine::ConnectReader() {
    return session_.OpenSession();
}

int32_t CCardEngine::ListReaders(ReaderList& list, int32_t& count) {
    for (std::size_t i = 0; i < 10; ++i) {
        list[i][0] = 0;
        list[i][1] = 0;
    }
    return session_.ListReaderNames(list, count) == 0 ? 0 : result::kFailed;
}

int32_t CCardEngine::CheckReaderName(const ScriptText& readerName) {
    if (!readerName) return result::kArgumentMissing;
    if (readerName->size() < 6 || readerName->size() > reader::kNameUnits)
        return result::kBadLength;
    return 0;
}

int32_t CCardEngine::ConnectCard(const ScriptText& readerName, int32_t& readerIndex,
                                 reader::Atr& atr) {
    readerIndex = 0;
    if (const int32_t rc = CheckReaderName(readerName); rc != 0) return rc;
    return session_.ConnectByName(*readerName, reader::kShareTypeExclusive, readerIndex, atr);
}

int32_t CCardEngine::CheckCardInsert(int32_t readerIndex) {
    reader::Atr atr;
    const int32_t rc = session_.ProbeCard(readerIndex, reader::kShareTypeExclusive, atr);
    if (rc == 0) return 0;
    if (rc == reader::pcsc::kRemovedCard) return 1;
    return -1;
}

int32_t CCardEngine::DisconnectCard(int32_t readerIndex) {
    return session_.DisconnectSlot(readerIndex, reader::kDispositionReset);
}

int32_t CCardEngine::DisconnectReader(int32_t readerIndex) {
    session_.DisconnectSlot(readerIndex, reader::kDispositionReset);
    session_.ReleaseSession();
    return 0;
}

int32_t CCardEngine::ReleaseSession() {
    return session_.ReleaseSession();
}

}  // namespace qorv::card
