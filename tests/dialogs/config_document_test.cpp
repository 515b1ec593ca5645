// The configuration document of the entry dialogs: lookups, limits, list
// data, enciphered contents and the messages they report.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <span>
#include <string>

#include "crypto/key_store.h"
#include "dialogs/config_document.h"
#include "dialogs/document_text.h"
#include "fake_decipher.h"
#include "support/recorded_messages.h"

namespace qorv::dialogs {
namespace {

using testing::Encipher;
using testing::HexDecipher;

struct Read {
    EntryDocument doc;
    qorv::testing::RecordedMessages messages;
    HexDecipher decipher;
    bool ok = false;
};

void ReadEntry(const std::u16string& text, Read& r) {
    r.ok = ReadEntryDocument(text, r.decipher, r.messages, r.doc);
}

struct ReadTransfer {
    TransferDocument doc;
    qorv::testing::RecordedMessages messages;
    HexDecipher decipher;
    bool ok = false;
    explicit ReadTransfer(const std::u16string& text) {
        ok = ReadTransferDocument(text, decipher, messages, doc);
    }
};

TEST(DialogValues, TagsMatchWithoutCaseAndValuesLoseOnlyControlCharacters) {
    Read r;
    ReadEntry(u"<caption>My Bank</CAPTION><TIMEOUT>\r\n 90 \r\n</timeout><Title>T</Title>", r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.doc.caption, u"My Bank");
    EXPECT_EQ(r.doc.countdownSeconds, 90);
    EXPECT_EQ(r.doc.countdownText, std::u16string(u" 90 "));
    EXPECT_EQ(r.doc.title, u"T");
}

TEST(DialogValues, AbsentOrUnclosedElementsKeepTheirDefaults) {
    Read r;
    ReadEntry(u"<Caption>never closed <TimeOut>30", r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.doc.caption, kTemplateCaption);
    EXPECT_EQ(r.doc.title, kTemplateTitle);
    EXPECT_EQ(r.doc.countdownSeconds, kDefaultCountdownSeconds);
    EXPECT_FALSE(r.doc.countdownText.has_value());
    EXPECT_EQ(r.doc.funType, 0);
    EXPECT_EQ(r.doc.keyOrder, 0);
}

TEST(DialogValues, ValuesKeepAtMost127CharactersAndTheTitleCopy63) {
    const std::u16string longText(300, u'x');
    Read r;
    ReadEntry(u"<Title>" + longText + u"</Title>", r);
    EXPECT_EQ(r.doc.title.size(), kMaxDocumentValue);
    EXPECT_EQ(r.doc.titleCopy.size(), kMaxKeptName);
}

TEST(DialogValues, KeyOrderCountsOnlyWhenItBeginsWithZeroOrOne) {
    struct Case {
        const char16_t* value;
        int selector;
        bool fixed;
    };
    for (const Case& c : {Case{u"1", 1, true}, Case{u"04", 4, true}, Case{u"4", 0, false},
                          Case{u"06", 6, true}, Case{u"10", 10, false}, Case{u"x1", 0, false}}) {
        Read r;
        ReadEntry(std::u16string(u"<KeyOrder>") + c.value + u"</KeyOrder>", r);
        EXPECT_EQ(r.doc.keyOrder, c.selector) << std::string(c.value, c.value + 2);
        EXPECT_EQ(IsFixedKeyOrder(r.doc.keyOrder), c.fixed);
    }
}

TEST(DialogValues, IntegersReadLikeTheDocumentsWriteThem) {
    EXPECT_EQ(ParseDocumentInteger(u"  -12abc"), -12);
    EXPECT_EQ(ParseDocumentInteger(u"+7"), 7);
    EXPECT_EQ(ParseDocumentInteger(u"abc"), 0);
    EXPECT_EQ(ParseDocumentInteger(u"99999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseDocumentInteger(u"-99999999999999999999"), INT32_MIN);
}

TEST(DialogValues, MissingOrEmptyDocumentIsRefusedWithItsMessage) {
    for (const std::optional<std::u16string>& text :
         {std::optional<std::u16string>(), std::optional<std::u16string>(u"")}) {
        EntryDocument doc;
        qorv::testing::RecordedMessages messages;
        HexDecipher decipher;
        EXPECT_FALSE(ReadEntryDocument(text, decipher, messages, doc));
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0], kMsgCheckDocument);
        TransferDocument transfer;
        EXPECT_FALSE(ReadTransferDocument(text, decipher, messages, transfer));
    }
}

TEST(FieldElements, CountIsCaseSensitiveButEachElementIsFoundInAnyCase) {
    Read upper;
    ReadEntry(u"<ATMNODE Name=\"a\"/><ATMNODE Name=\"b\"/>", upper);
    EXPECT_TRUE(upper.doc.rows.empty());

    // One exact "<AtmNode" counts one row; that row is the first element in any case.
    Read mixed;
    ReadEntry(u"<ATMNODE Name=\"first\"/><AtmNode Name=\"second\"/>", mixed);
    ASSERT_EQ(mixed.doc.rows.size(), 1u);
    EXPECT_EQ(mixed.doc.rows[0].name, u"first");
}

TEST(FieldElements, AnAtmNodeInsideAValueCountsAsAnElement) {
    Read r;
    ReadEntry(u"<Title>see <AtmNode</Title><AtmNode Name=\"real\" Type=\"3\"/>", r);
    ASSERT_EQ(r.doc.rows.size(), 2u);
    EXPECT_EQ(r.doc.rows[0].name, u"real");  // the first element runs to the first "/>"
    EXPECT_EQ(r.doc.rows[0].type, u'3');
}

TEST(FieldElements, AttributesAreFoundAnywhereEvenInsideOtherNames) {
    Read r;
    ReadEntry(
        u"<AtmNode KeyType=\"2\" Type=\"3\" Name=\"n\"/>"
        u"<AtmNode Type=\"3\" KeyType=\"2\"/>",
        r);
    ASSERT_EQ(r.doc.rows.size(), 2u);
    EXPECT_EQ(r.doc.rows[0].type, u'2');  // "Type" first occurs inside "KeyType"
    EXPECT_EQ(r.doc.rows[1].type, u'3');
    EXPECT_EQ(r.doc.rows[1].keyType, u'2');
}

TEST(FieldElements, RowAttributesDefaultsAndConversions) {
    Read r;
    ReadEntry(
        u"<AtmNode Name=\"帳號%%說明\" Type=\"9\" KeyType=\"3\" min=\"2\" Default=\"16\"/>"
        u"<AtmNode/>",
        r);
    ASSERT_EQ(r.doc.rows.size(), 2u);
    const EntryRow& row = r.doc.rows[0];
    EXPECT_EQ(row.name, u"帳號\r\n說明");
    EXPECT_EQ(row.type, u'0');  // above "7"
    EXPECT_EQ(row.keyboardFlag, 1);
    EXPECT_EQ(row.min, 2);
    EXPECT_EQ(row.defaultValue, 16);
    const EntryRow& bare = r.doc.rows[1];
    EXPECT_EQ(bare.type, u'0');
    EXPECT_EQ(bare.keyType, u'0');
    EXPECT_EQ(bare.ciph, u'0');
    EXPECT_EQ(bare.keyboardFlag, 0);
    EXPECT_TRUE(bare.name.empty());
}

TEST(FieldElements, UnclosedQuotesGiveEmptyValues) {
    Read r;
    ReadEntry(u"<AtmNode Name=\"open Type=3>x</AtmNode>", r);
    ASSERT_EQ(r.doc.rows.size(), 1u);
    EXPECT_TRUE(r.doc.rows[0].name.empty());
}

TEST(DropDownRows, ListDataIsCutAtEachSeparatorAndTheFinalOneIsSupplied) {
    Read r;
    ReadEntry(u"<AtmNode Type=\"0\" Default=\"1\">\r\n  台灣銀行%% 004 ;;土地銀行%%005</AtmNode>",
              r);
    ASSERT_EQ(r.doc.rows.size(), 1u);
    const EntryRow& row = r.doc.rows[0];
    EXPECT_TRUE(row.listEnabled);
    ASSERT_EQ(row.items.size(), 2u);
    EXPECT_EQ(row.items[0].display, u"台灣銀行");
    EXPECT_EQ(row.items[0].code, u"004");
    EXPECT_EQ(row.items[1].code, u"005");
    EXPECT_EQ(row.selectedIndex, 1);
}

TEST(DropDownRows, AnItemWithTwoMarksShowsEverythingBeforeTheSecond) {
    const std::vector<ListItem> items = ParseListItems(u"A%%B%%  12345 ;;", ListKind::kEntryRow);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].display, u"A%%B");
    EXPECT_EQ(items[0].code, u"123");
}

TEST(DropDownRows, DisplayTextLooksOnlyAtTheFirst80Characters) {
    const std::u16string longName(100, u'n');
    const std::vector<ListItem> items =
        ParseListItems(longName + u"%%001;;short;;", ListKind::kEntryRow);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].display, longName.substr(0, 80));
    EXPECT_TRUE(items[0].code.empty());
    EXPECT_EQ(items[1].display, u"short");
}

TEST(DropDownRows, EmptyItemsAreSkippedAlikeWhenShownAndWhenRead) {
    HexDecipher decipher;
    qorv::testing::RecordedMessages messages;
    const std::u16string data = u"a%%001;;;;b%%002;;";
    EXPECT_EQ(ParseListItems(data, ListKind::kEntryRow).size(), 2u);
    const auto item = ReadSelectedItem(data, false, 1, ListKind::kEntryRow, decipher, messages);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->display, u"b");
    EXPECT_EQ(item->code, u"002");
}

TEST(DropDownRows, ElementClosedBySlashHasNoDataAndIsDisabled) {
    Read r;
    ReadEntry(u"<AtmNode Type=\"0\" Name=\"x\" /><AtmNode Type=\"1\">a%%1</AtmNode>", r);
    ASSERT_EQ(r.doc.rows.size(), 2u);
    EXPECT_FALSE(r.doc.rows[0].listEnabled);
    EXPECT_TRUE(r.doc.rows[0].items.empty());
    EXPECT_TRUE(r.doc.rows[1].listEnabled);
    EXPECT_TRUE(r.messages.messages.empty());
}

TEST(DropDownRows, DefaultOutsideTheListSelectsNothing) {
    Read r;
    ReadEntry(u"<AtmNode Type=\"0\" Default=\"5\">a%%1;;b%%2</AtmNode>", r);
    EXPECT_EQ(r.doc.rows[0].selectedIndex, -1);
}

TEST(DropDownRows, ListDataOverItsRoomIsRefused) {
    std::u16string data;
    while (data.size() <= kMaxEntryListData) data += u"item%%001;;";
    Read r;
    ReadEntry(u"<AtmNode Type=\"0\">" + data + u"</AtmNode>", r);
    EXPECT_FALSE(r.doc.rows[0].listEnabled);
    ASSERT_EQ(r.messages.messages.size(), 1u);
    EXPECT_EQ(r.messages.messages[0], kMsgListDataFailed);
}

TEST(EncipheredContent, DecipheredListsAreShownAndTheirCodesNotKept) {
    Read r;
    ReadEntry(u"<AtmNode Type=\"0\" Ciph=\"1\">" + Encipher(u"x%%123;;y%%456;;") + u"</AtmNode>",
              r);
    const EntryRow& row = r.doc.rows[0];
    ASSERT_EQ(row.items.size(), 2u);
    EXPECT_EQ(row.items[1].display, u"y");
    EXPECT_TRUE(row.items[1].code.empty());
    EXPECT_EQ(row.listData, Encipher(u"x%%123;;y%%456;;"));  // kept enciphered
    const auto item =
        ReadSelectedItem(row.listData, true, 1, ListKind::kEntryRow, r.decipher, r.messages);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->code, u"456");
}

TEST(EncipheredContent, EachFaultGivesItsMessageAndLeavesTheRowEmpty) {
    struct Case {
        std::u16string content;
        const char16_t* message;
    };
    for (const Case& c : {Case{u"", kMsgNoListData}, Case{u"0123456789ABCDE", kMsgListDataFailed},
                          Case{u"FFFF000000000000", kMsgListDataFailed}}) {
        Read r;
        ReadEntry(u"<AtmNode Type=\"2\" Ciph=\"1\">" + c.content + u"</AtmNode>", r);
        EXPECT_FALSE(r.doc.rows[0].listEnabled);
        ASSERT_EQ(r.messages.messages.size(), 1u);
        EXPECT_EQ(r.messages.messages[0], c.message);
    }
}

TEST(EncipheredContent, TheSessionCipherLeavesTheKeyStoreWiped) {
    // A session key that does not decrypt: the cipher still loads the key
    // store for its RSA step, and nothing of it may stay behind.
    SessionFieldDecipher decipher(std::u16string(40, u'0'), std::u16string(256, u'A'));
    std::u16string plain = u"left over";
    EXPECT_FALSE(decipher.Decipher(u"00112233445566778899AABBCCDDEEFF", plain));
    EXPECT_TRUE(plain.empty());
    for (std::span<const uint8_t> buffer : crypto::test_hooks::KeyStoreBuffers())
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; }));

    EntryDocument doc;
    qorv::testing::RecordedMessages messages;
    ASSERT_TRUE(ReadEntryDocument(
        u"<AtmNode Type=\"0\" Ciph=\"1\">00112233445566778899AABBCCDDEEFF</AtmNode>", decipher,
        messages, doc));
    EXPECT_FALSE(doc.rows[0].listEnabled);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], kMsgListDataFailed);
}

TEST(EncipheredContent, InputRowsAreSilentWhenEmptyAndRefusedWhenBroken) {
    Read r;
    ReadEntry(
        u"<AtmNode Type=\"3\" Ciph=\"1\"></AtmNode>"
        u"<AtmNode Type=\"5\" Ciph=\"1\">0123456789ABCDEF0</AtmNode>",
        r);
    EXPECT_FALSE(r.doc.rows[0].hasPrefill);
    EXPECT_FALSE(r.doc.rows[1].hasPrefill);
    ASSERT_EQ(r.messages.messages.size(), 1u);
    EXPECT_EQ(r.messages.messages[0], kMsgListDataFailed);
}

TEST(Prefill, InputRowsKeepTheirContentAsWritten) {
    const std::u16string hex = Encipher(u"1234");
    Read r;
    ReadEntry(u"<AtmNode Type=\"3\">  0912 </AtmNode><AtmNode Type=\"3\" Ciph=\"1\">" + hex +
                  u"</AtmNode>",
              r);
    EXPECT_EQ(r.doc.rows[0].prefill, u"0912");
    EXPECT_EQ(r.doc.rows[1].prefill, hex);
    std::u16string plain;
    EXPECT_EQ(ResolvePrefill(r.doc.rows[1], 2, 48, r.decipher, r.messages, plain),
              PrefillResult::kApply);
    EXPECT_EQ(plain, u"1234");
}

TEST(Prefill, BadValuesStopWithTheRowNumber) {
    Read r;
    ReadEntry(
        u"<AtmNode Type=\"3\">12a4</AtmNode>"
        u"<AtmNode Type=\"4\">ab-1</AtmNode>"
        u"<AtmNode Type=\"3\" Ciph=\"1\">" +
            Encipher(u"12x") +
            u"</AtmNode>"
            u"<AtmNode Type=\"4\">abc123</AtmNode>"
            u"<AtmNode Type=\"3\">123456</AtmNode>",
        r);
    ASSERT_EQ(r.doc.rows.size(), 5u);
    EXPECT_TRUE(r.messages.messages.empty());
    std::u16string plain;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ResolvePrefill(r.doc.rows[i], i + 1, 127, r.decipher, r.messages, plain),
                  PrefillResult::kStop);
    EXPECT_TRUE(plain.empty());
    EXPECT_EQ(ResolvePrefill(r.doc.rows[3], 4, 127, r.decipher, r.messages, plain),
              PrefillResult::kApply);
    // Longer than the field can hold: refused, not cut.
    EXPECT_EQ(ResolvePrefill(r.doc.rows[4], 5, 5, r.decipher, r.messages, plain),
              PrefillResult::kStop);
    ASSERT_EQ(r.messages.messages.size(), 4u);
    EXPECT_EQ(r.messages.messages[0], u"第1項之預設值錯誤,忽略");
    EXPECT_EQ(r.messages.messages[2], u"第3項之預設值錯誤,忽略");
    EXPECT_EQ(r.messages.messages[3], u"第5項之預設值錯誤,忽略");
}

TEST(Prefill, ReviewModeKeepsDropDownTextCutToDefault) {
    Read r;
    ReadEntry(
        u"<FunType>2</FunType>"
        u"<AtmNode Type=\"0\" Default=\"4\">台灣銀行總行</AtmNode>"
        u"<AtmNode Type=\"1\" Default=\"0\">土地銀行</AtmNode>"
        u"<AtmNode Type=\"2\" Default=\"4\" Ciph=\"1\">" +
            Encipher(u"abcdefgh") + u"</AtmNode>",
        r);
    ASSERT_TRUE(r.doc.IsReviewMode());
    EXPECT_EQ(r.doc.rows[0].prefill, u"台灣銀行");
    EXPECT_FALSE(r.doc.rows[0].listEnabled);
    EXPECT_EQ(r.doc.rows[1].prefill, u"土地銀行");
    EXPECT_EQ(r.doc.rows[2].prefill, Encipher(u"abcdefgh"));  // not cut when enciphered
}

TEST(TransferDocument, ValuesListsAndTheirItems) {
    ReadTransfer r(
        u"<KeyType>4</KeyType><AddComm>0</AddComm>"
        u"<AtmNode Name=\"約定\" Default=\"1\">A帳戶%%004||123$$a@b.tw;;B-x%%005||456;;</AtmNode>"
        u"<AtmNode Name=\"常用\" check=\"1\" Default=\"9\">C%%006||789</AtmNode>"
        u"<AtmNode Name=\"其他\" check=\"0\">台銀%%  004x;;郵局%%70000021;;</AtmNode>");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.doc.keyType, 4);
    EXPECT_EQ(r.doc.listCount, 3u);
    const TransferList& agreed = r.doc.lists[0];
    ASSERT_EQ(agreed.items.size(), 2u);
    EXPECT_EQ(agreed.items[0].display, u"A帳戶");
    EXPECT_EQ(agreed.items[0].code, u"004||123$$a@b.tw");
    EXPECT_EQ(agreed.items[0].email, u"a@b.tw");
    EXPECT_TRUE(agreed.items[1].email.empty());
    EXPECT_EQ(agreed.selectedIndex, 1);
    EXPECT_EQ(r.doc.lists[1].selectedIndex, 0);  // Default past the end
    EXPECT_EQ(r.doc.lists[2].items[0].code, u"004");
    EXPECT_EQ(r.doc.lists[2].items[1].code, u"70000021");
    EXPECT_EQ(r.doc.check, 0);  // the last element with "check" wins
    EXPECT_FALSE(r.doc.CheckBoxStartsChecked());
}

TEST(TransferDocument, KeyTypeAboveSixBecomesZeroAndEmptyEncipheredListsSay) {
    ReadTransfer r(u"<KeyType>7</KeyType><AtmNode Ciph=\"1\"/><AtmNode/><AtmNode/><AtmNode/>");
    EXPECT_EQ(r.doc.keyType, 0);
    EXPECT_EQ(r.doc.listCount, 3u);
    EXPECT_FALSE(r.doc.lists[0].hasData);
    ASSERT_EQ(r.messages.messages.size(), 1u);
    EXPECT_EQ(r.messages.messages[0], kMsgNoListData);
}

TEST(TransferDocument, AddCommSuppressesTheCheckedBox) {
    ReadTransfer r(u"<AddComm>1</AddComm><AtmNode check=\"1\"/>");
    EXPECT_EQ(r.doc.check, 1);
    EXPECT_FALSE(r.doc.CheckBoxStartsChecked());
}

TEST(FieldTypes, TheProcedureAsksWhetherSomeFieldIsSecret) {
    const std::u16string doc = u"<AtmNode Type=\"3\"/><AtmNode Type=\"7\"/>";
    EXPECT_TRUE(SomeFieldTypeStartsWith(doc, u'7'));
    EXPECT_FALSE(SomeFieldTypeStartsWith(doc, u'6'));
}

// Documents come from web pages: hostile shapes end in bounded time.
TEST(HostileDocuments, ElevenElementsGiveTenRows) {
    std::u16string doc;
    for (int i = 0; i < 11; ++i) doc += u"<AtmNode Type=\"3\">1</AtmNode>";
    Read r;
    ReadEntry(doc, r);
    EXPECT_EQ(r.doc.rows.size(), kMaxEntryRows);
    ReadTransfer t(doc);
    EXPECT_EQ(t.doc.listCount, kTransferLists);
}

TEST(HostileDocuments, UnclosedTagsQuotesAndNoiseAreReadInLinearTime) {
    std::vector<std::u16string> docs;
    std::u16string opens;
    while (opens.size() < 65536) opens += u"<AtmNode Name=\"<TimeOut>";
    docs.push_back(opens);
    std::u16string noise(65536, u'\0');
    uint32_t seed = 12345;
    for (char16_t& c : noise) {
        seed = seed * 1103515245 + 12345;
        c = static_cast<char16_t>(seed >> 16);
    }
    docs.push_back(noise);
    docs.push_back(std::u16string(65536, u'<'));
    std::u16string longContent = u"<AtmNode Type=\"0\">" + std::u16string(65536, u'a');
    docs.push_back(longContent);
    docs.push_back(u"<AtmNode");
    docs.push_back(u"<AtmNode Name=\"");
    docs.push_back(u"<Caption></Caption");

    for (const std::u16string& doc : docs) {
        const auto start = std::chrono::steady_clock::now();
        Read r;
        ReadEntry(doc, r);
        ReadTransfer t(doc);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(r.ok);
        EXPECT_LE(r.doc.rows.size(), kMaxEntryRows);
        EXPECT_LT(elapsed, std::chrono::seconds(1));
    }
}

TEST(HostileDocuments, ElementTextIsBoundedAndTheLookupStaysInsideIt) {
    const std::u16string doc = u"<AtmNode" + std::u16string(70000, u' ') + u"Name=\"x\"/>";
    EXPECT_EQ(FieldElementText(doc, 0, kMaxEntryElementText).size(), kMaxEntryElementText);
    Read r;
    ReadEntry(doc, r);
    EXPECT_TRUE(r.doc.rows[0].name.empty());  // beyond the element's room
    EXPECT_TRUE(FieldElementText(doc, 1, kMaxEntryElementText).empty());
}

}  // namespace
}  // namespace qorv::dialogs
