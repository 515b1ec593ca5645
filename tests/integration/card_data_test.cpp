// Card data reads through the host against the simulated card.
#include "card_fixture.h"

namespace qorv::testing {
namespace {

class CardDataOnTestBed : public CardOnTestBed {};
ON_BOTH_PROTOCOLS(CardDataOnTestBed);

TEST_P(CardDataOnTestBed, SerialIssuerRemarkAndBothAccountLists) {
    CONNECT_CARD("default");
    HostProcess& host = Host();
    EXPECT_EQ(host.Call("ReadCardSN"), "1208156300472915");
    EXPECT_EQ(host.Call("GetIssuerBank"), "81200580");
    EXPECT_EQ(host.Call("GetICCRemark"),
              "514F5256B0D3B77EBBC8A6E6202020202020202020202020202020202020");
    EXPECT_EQ(host.Call("ListEF1001Accounts"), 0);
    EXPECT_EQ(host.Call("GetEF1001TotalAccounts"), 3);
    EXPECT_EQ(host.Call("GetEF1001Account", {0}), "0058100012345678");
    EXPECT_EQ(host.Call("GetEF1001Account", {2}), "0058100055512340");
    EXPECT_EQ(host.Call("GetEF1001Account", {3}), nullptr);
    EXPECT_EQ(host.Call("ListEF1002Accounts"), 0);
    EXPECT_EQ(host.Call("GetEF1002TotalAccounts"), 2);
    EXPECT_EQ(host.Call("GetEF1002Account", {1}), "812005820009876543210987");
    // A new connect clears the lists.
    EXPECT_EQ(host.Call("ConnectCard", {kReader}), 0);
    EXPECT_EQ(host.Call("GetEF1001TotalAccounts"), -1);
    EXPECT_EQ(host.Call("GetEF1001Account", {0}), nullptr);
}

TEST_P(CardDataOnTestBed, AllZeroAccountsAreNotListed) {
    CONNECT_CARD("all-zero-accounts");
    EXPECT_EQ(Host().Call("ListEF1001Accounts"), 0);
    EXPECT_EQ(Host().Call("GetEF1001TotalAccounts"), -1);
    EXPECT_EQ(Host().Call("ListEF1002Accounts"), 0);
    EXPECT_EQ(Host().Call("GetEF1002TotalAccounts"), -1);
}

TEST_P(CardDataOnTestBed, SkippedRecordsAndAFollowingValidOne) {
    CONNECT_CARD("skipped-account");
    EXPECT_EQ(Host().Call("ListEF1001Accounts"), 0);
    EXPECT_EQ(Host().Call("GetEF1001TotalAccounts"), 1);
    EXPECT_EQ(Host().Call("GetEF1001Account", {0}), "0058100055512340");
}

TEST_P(CardDataOnTestBed, ReadErrorAtRecordSixKeepsTheAccountsBeforeIt) {
    CONNECT_CARD("read-error-record6");
    EXPECT_EQ(Host().Call("ListEF1001Accounts"), 20482);
    EXPECT_EQ(Host().Call("GetEF1001TotalAccounts"), 3);
    EXPECT_EQ(Host().Call("GetEF1001Account", {2}), "0058100055512340");
    EXPECT_EQ(Host().Call("GetEF1001Account", {3}), nullptr);
}

TEST_P(CardDataOnTestBed, RefusedSerialReadGivesTheNullString) {
    CONNECT_CARD("no-serial");
    EXPECT_EQ(Host().Call("ReadCardSN"), nullptr);
    EXPECT_EQ(Host().Call("GetIssuerBank"), "81200580");
}

TEST_P(CardDataOnTestBed, WithoutACardSessionReadsFail) {
    CONNECT_CARD("default");
    EXPECT_EQ(Host().Call("DisconnectCard"), 0);
    EXPECT_EQ(Host().Call("ReadCardSN"), nullptr);
    EXPECT_EQ(Host().Call("GetIssuerBank"), "");
    EXPECT_EQ(Host().Call("GetICCRemark"), "");
    EXPECT_EQ(Host().Call("ListEF1001Accounts"), 20481);
}

}  // namespace
}  // namespace qorv::testing
