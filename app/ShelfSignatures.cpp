// The ZIP reader's headers come before windows.h, which would rename two of its members.
#include "apkinfo/OpenedBundle.h"
#include "signing/ApkSignature.h"
#include "signing/SignatureText.h"

#include "app/MainForm.h"
#include "app/AppText.h"
#include "app/ShelfRow.h"
#include "app/SignatureCheck.h"

#include <commctrl.h>

#include <exception>

// Each row's signature verdict, checked by one worker going down the list, so the list shows at once
// and stays live while large packages are hashed; each verdict comes back as a message.

namespace {

constexpr int kSignatureColumn = 3;

bool Refused(TSignatureVerdict verdict) {
    return verdict == TSignatureVerdict::Broken || verdict == TSignatureVerdict::Unsigned;
}

} // namespace

void TfrmMain::StartShelfSignatures() {
    StopShelfSignatures();
    if (!seams_.checkSignatures)
        return;
    auto work = std::make_unique<ShelfSignatureWork>();
    std::vector<ShelfSignatureWork::Item> items;
    for (std::size_t index = 0; index < shelf_.size(); ++index) {
        const std::shared_ptr<ShelfRow> row = shelf_[index];
        if (row->checked || !row->problem.empty())
            continue;
        ShelfSignatureWork::Item item{row->id, row->path, {}, {}};
        if (row->bundle) {
            // A bundle's every APK is checked, taken out of it here: its reader lets the window's
            // messages through while it extracts, which a thread must not do.
            for (const BundlePiece& piece : row->bundle->Info().pieces)
                item.names.push_back(piece.split.name);
            for (const BundleStandalone& standalone : row->bundle->Info().standalones)
                item.names.push_back(standalone.apk.name);
            try {
                item.pieces = row->bundle->PieceFiles(item.names);
            } catch (const std::exception&) {
                row->checked = true; // not a verdict on the signatures: nothing to ask about either
                SetRowSignature(index, "没能核对", true);
                continue;
            }
            if (closed_)
                return;
            item.path.clear();
        }
        items.push_back(std::move(item));
    }
    if (items.empty())
        return;
    ShelfSignatureWork* shared = work.get();
    const WPARAM generation = ++shelfSignatureGeneration_;
    const HWND window = handle_;
    work->thread = std::thread([shared, window, generation, items] {
        TVerifyOptions options;
        options.toAnsi = WideToAnsi;
        for (const ShelfSignatureWork::Item& item : items) {
            if (shared->cancel)
                break;
            ShelfSignatureWork::Verdict verdict{item.id, std::string(), false, std::nullopt};
            try {
                if (item.pieces.empty()) {
                    const TSignatureReport report = VerifyApkSignature(item.path, shared->cancel, options);
                    if (report.verdict == TSignatureVerdict::Cancelled)
                        break;
                    verdict.refused = Refused(report.verdict);
                    verdict.label = SignatureLabel(report);
                    verdict.signer = PhoneSignerOf(report.signers);
                } else {
                    std::vector<TBundlePieceFile> pieces;
                    for (std::size_t i = 0; i < item.names.size() && i < item.pieces.size(); ++i)
                        pieces.push_back(TBundlePieceFile{ShownMemberName(item.names[i]), item.pieces[i]});
                    const TBundleSignatureReport report = VerifyBundleSignatures(pieces, shared->cancel, options);
                    if (report.verdict == TSignatureVerdict::Cancelled)
                        break;
                    verdict.refused = Refused(report.verdict);
                    verdict.label = BundleSignatureLabel(report);
                    verdict.signer = PhoneSignerOf(report.signers);
                }
            } catch (const std::exception&) {
                verdict.label = "没能核对";
            }
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->verdicts.push_back(std::move(verdict));
            }
            PostMessageA(window, kShelfSignatureMessage, generation, 0);
        }
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->ended = true;
        PostMessageA(window, kShelfSignatureMessage, generation, 0);
    });
    shelfSignatureWork_ = std::move(work);
}

void TfrmMain::StopShelfSignatures() {
    shelfSignatureWork_.reset(); // asks the thread to stop and waits for it
}

void TfrmMain::ShelfSignaturesArrived(WPARAM generation) {
    // A check that was dropped meanwhile has nothing to say about the list on show.
    if (generation != shelfSignatureGeneration_ || !shelfSignatureWork_)
        return;
    std::vector<ShelfSignatureWork::Verdict> verdicts;
    bool ended = false;
    {
        std::lock_guard<std::mutex> lock(shelfSignatureWork_->mutex);
        verdicts.swap(shelfSignatureWork_->verdicts);
        ended = shelfSignatureWork_->ended;
    }
    for (const auto& verdict : verdicts) {
        for (std::size_t i = 0; i < shelf_.size(); ++i) {
            if (shelf_[i]->id != verdict.id)
                continue;
            shelf_[i]->checked = true;
            shelf_[i]->signer = verdict.signer;
            SetRowSignature(i, verdict.label, !verdict.refused);
        }
    }
    if (ended)
        shelfSignatureWork_.reset();
}

bool TfrmMain::AwaitShelfSignatures() {
    if (!shelfSignatureWork_)
        return !closed_;
    // Whether to ask before the run depends on the verdicts, so the run waits for them; the window
    // stays live.
    const std::string before = GetCaption(lblHintInfo);
    SetCaption(lblHintInfo, "正在核对安装包的签名，请稍候...");
    while (shelfSignatureWork_ && !closed_) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        ProcessPendingMessages();
    }
    if (closed_)
        return false;
    SetCaption(lblHintInfo, before);
    return true;
}

void TfrmMain::SetRowSignature(std::size_t row, const std::string& label, bool intact) {
    if (row >= shelf_.size())
        return;
    shelf_[row]->signature = label;
    shelf_[row]->intact = intact;
    LVITEMA item = {};
    item.iSubItem = kSignatureColumn;
    const std::string shown = ShortSignatureVerdict(label);
    item.pszText = const_cast<char*>(shown.c_str());
    SendMessageA(lvPackages, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}
