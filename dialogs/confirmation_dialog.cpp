#include "dialogs/confirmation_dialog.h"

#include <utility>

#include "dialogs/page_text.h"
#include "reader/pcsc_api.h"

namespace qorv::dialogs {

namespace {

constexpr int kTagOfTransferIn = 11;
constexpr int kFirstRowTag = 4;
constexpr int kLastRowTag = 18;
constexpr char16_t kTemplateTitle[] = u"繳費：確認交易資料";

std::u16string WithSeconds(std::u16string_view before, int seconds, std::u16string_view after) {
    std::u16string text(before);
    for (const char c : std::to_string(seconds)) {
        text.push_back(static_cast<char16_t>(c));
    }
    text += after;
    return text;
}

const std::u16string& TagText(const SummaryTags& tags, int number) {
    return tags[static_cast<std::size_t>(number - 1)];
}

}  // namespace

int ControlForTag(int number) {
    if (number == 17) {
        return confirm_control::kTag17Value;
    }
    return 1010 + number;
}

CardPresence PresenceFromConnectResult(int32_t result) {
    if (result == reader::pcsc::kNoSmartcard || result == reader::pcsc::kRemovedCard) {
        return CardPresence::Absent;
    }
    return CardPresence::Present;
}

std::u16string TakeOutAndPutBackMessage(int seconds) {
    return WithSeconds(u"請於 ", seconds, u" 秒內，將您的晶片卡抽出後，再重新置入讀卡機。");
}

std::u16string PutCardInMessage(int seconds) {
    return WithSeconds(u"請於 ", seconds, u" 秒內，將您的晶片卡置入讀卡機。");
}

std::u16string PressOkMessage(PromptGroup group, int seconds) {
    if (group == PromptGroup::Reader) {
        return WithSeconds(u"請於 ", seconds,
                           u" 秒內，按本頁『確定』鍵後，依讀卡機上顯示指示繼續操作．．．");
    }
    return WithSeconds(u"請於 ", seconds, u" 秒內，按下本頁『確定』鍵，即可完成交易。");
}

std::u16string ConfirmationView::TextOf(int control) const {
    if (control == confirm_control::kCountdown) {
        return countdown;
    }
    if (control == confirm_control::kOk) {
        return okText;
    }
    if (control == confirm_control::kCancel) {
        return cancelText;
    }
    for (const auto& label : tagLabels) {
        if (label.control == control) {
            return label.text;
        }
    }
    return {};
}

bool ConfirmationView::IsVisible(int control) const {
    if (control == confirm_control::kOk) {
        return okVisible;
    }
    if (control == confirm_control::kTransferInSecureField) {
        return transferInFieldVisible;
    }
    for (const auto& label : tagLabels) {
        if (label.control == control) {
            return label.visible;
        }
    }
    return true;
}

ConfirmationDialog::ConfirmationDialog(ConfirmationRequest request, CardPresenceProbe& probe,
                                       MessageSink& messages, TransferInProcessing* transferIn)
    : request_(std::move(request)),
      rule_(RuleForConfirmationMode(request_.mode)),
      probe_(probe),
      messages_(messages),
      transferIn_(transferIn) {}

std::optional<int> ConfirmationDialog::Open() {
    if (phase_ != ConfirmationPhase::Opening) {
        return outcome_;
    }
    tags_ = ExtractSummaryTags(request_.message);
    if (!request_.title.empty()) tags_[0] = request_.title;
    view_.hostBlock = BuildHostBlock(
        rule_, {request_.account, request_.transferIn, request_.amount, request_.produced});
    auto failed = CheckSummary();
    if (!failed && request_.mode == ConfirmationMode::GuidedTransfer && transferIn_ != nullptr) {
        view_.transferInField.mode = 0;
        transferIn_->PrepareDisplay(tags_, view_.transferInField, messages_);
        const HostBlock produced = transferIn_->ProducedRows();
        // After the from-account, before the amount.
        const auto at =
            view_.hostBlock.empty() ? view_.hostBlock.end() : view_.hostBlock.begin() + 1;
        view_.hostBlock.insert(at, produced.begin(), produced.end());
        failed = CheckPageRows();
    } else if (!failed) {
        view_.transferInField = {InertText(TagText(tags_, kTagOfTransferIn)), 6};
    }
    if (failed) {
        End(*failed);
        return failed;
    }
    FillView();
    view_.countdown = TakeOutAndPutBackMessage(kConfirmationSeconds);
    view_.okEnabled = false;
    phase_ = ConfirmationPhase::TakeOut;
    phasePolls_ = 0;
    return std::nullopt;
}

// Account first, then the transfer-in account, then the amount, then the
// page's rows against the host block. A value that the mode compares but
// the caller did not pass fails its check; so does a checked tag that
// could show the customer something other than what it compares equal.
std::optional<int> ConfirmationDialog::CheckSummary() {
    if (rule_.accountTag != 0) {
        if (!request_.account || HasUnsafeCharacter(TagText(tags_, rule_.accountTag)) ||
            !AccountInSummaryTag(TagText(tags_, rule_.accountTag), *request_.account)) {
            return kConfirmAccountNotInSummary;
        }
    }
    if (rule_.transferInTag != 0) {
        // The card is given the first 16 characters; those are what the
        // customer must see.
        if (!request_.transferIn || HasUnsafeCharacter(TagText(tags_, rule_.transferInTag)) ||
            !AccountInSummaryTag(TagText(tags_, rule_.transferInTag),
                                 std::u16string_view(*request_.transferIn).substr(0, 16))) {
            return kConfirmAmountNotInSummary;
        }
    }
    if (rule_.amountTag != 0) {
        auto& tag = tags_[static_cast<std::size_t>(rule_.amountTag - 1)];
        auto shown = request_.amount && !HasUnsafeCharacter(tag)
                         ? CheckAmountInSummaryTag(tag, *request_.amount)
                         : std::optional<std::u16string>();
        if (!shown) {
            return kConfirmAmountNotInSummary;
        }
        tag = std::move(*shown);
    }
    return CheckPageRows();
}

// A page row under the block's own words must carry the block's value.
std::optional<int> ConfirmationDialog::CheckPageRows() const {
    for (int label = kFirstRowTag; label <= kLastRowTag; label += 2) {
        const std::u16string& name = TagText(tags_, label);
        const std::u16string& value = TagText(tags_, label + 1);
        if (!IsDecoyRow(view_.hostBlock, name, value)) continue;
        return KindOfLabel(name) == HostValueKind::Account ? kConfirmAccountNotInSummary
                                                           : kConfirmAmountNotInSummary;
    }
    return std::nullopt;
}

// The notes and the row labels start cleared, the values empty, the
// title with the template's text; a tag replaces them only when it has text.
void ConfirmationDialog::FillView() {
    for (int number = 1; number <= static_cast<int>(kSummaryTagCount); ++number) {
        auto& label = view_.tagLabels[static_cast<std::size_t>(number - 1)];
        label.control = ControlForTag(number);
        const auto& text = TagText(tags_, number);
        if (number == kTagOfTransferIn) {
            continue;  // shown by the secure field
        }
        if (!text.empty()) {
            label.text = InertText(text, number == 17);
        } else if (number == 1) {
            label.text = kTemplateTitle;
        }
    }
    auto& labels = view_.tagLabels;
    labels[1].visible = !labels[1].text.empty();
    labels[2].visible = !labels[2].text.empty();
    // Rows: Tag4/5, 6/7, ... 18/19 (label, value); Tag11's value is the
    // secure field's.
    for (std::size_t label = 3; label + 1 < labels.size(); label += 2) {
        const bool secureRow = label + 1 == kTagOfTransferIn - 1;
        const bool valueShown =
            secureRow ? !view_.transferInField.text.empty() : !labels[label + 1].text.empty();
        const bool rowShown = !labels[label].text.empty() || valueShown;
        labels[label].visible = rowShown;
        labels[label + 1].visible = rowShown && !secureRow;
        if (secureRow) {
            view_.transferInFieldVisible = rowShown;
        }
    }
}

void ConfirmationDialog::Tick() {
    if (phase_ == ConfirmationPhase::TakeOut) {
        TickTakeOut();
    } else if (phase_ == ConfirmationPhase::PressOk) {
        TickPressOk();
    }
}

void ConfirmationDialog::TickTakeOut() {
    const CardPresence presence = probe_.Poll();
    if (presence == CardPresence::Absent) {
        ++absentPolls_;
    } else if (absentPolls_ > 0) {
        // The card went out and came back: on to pressing OK.
        view_.countdown = PressOkMessage(rule_.group, remaining_);
        view_.okEnabled = true;
        view_.okVisible = true;
        phase_ = ConfirmationPhase::PressOk;
        phasePolls_ = 0;
        return;
    }
    if (++phasePolls_ % kPollsPerSecond != 0) {
        return;
    }
    view_.countdown = presence == CardPresence::Present ? TakeOutAndPutBackMessage(remaining_)
                                                        : PutCardInMessage(remaining_);
    if (--remaining_ < 0) {
        TimeOut(kInsertionTimeoutText);
    }
}

void ConfirmationDialog::TickPressOk() {
    // OK follows the card at once; the message changes with the next second.
    view_.okEnabled = probe_.Poll() == CardPresence::Present;
    if (++phasePolls_ % kPollsPerSecond != 0) {
        return;
    }
    if (--remaining_ < 0) {
        TimeOut(kConfirmTimeoutText);
        return;
    }
    view_.countdown =
        view_.okEnabled ? PressOkMessage(rule_.group, remaining_) : PutCardInMessage(remaining_);
}

void ConfirmationDialog::PressOk() {
    if (phase_ == ConfirmationPhase::PressOk && view_.okEnabled) {
        End(kConfirmOk);
    }
}

void ConfirmationDialog::PressCancel() {
    if (phase_ == ConfirmationPhase::TakeOut || phase_ == ConfirmationPhase::PressOk) {
        End(kConfirmCancelled);
    }
}

void ConfirmationDialog::End(int outcome) {
    phase_ = ConfirmationPhase::Ended;
    outcome_ = outcome;
    view_.okEnabled = false;
}

void ConfirmationDialog::TimeOut(const char16_t* text) {
    // The timer stops before the message box, so no poll runs behind it.
    phase_ = ConfirmationPhase::Ended;
    view_.okEnabled = false;
    messages_.ShowMessage(text, kConfirmationMessageCaption);
    End(kConfirmCancelled);
}

}  // namespace qorv::dialogs
