#include "device/SplitChoice.h"

#include <climits>
#include <cstdlib>

const char* const kTooOldForSplitsText = "手机的 Android 版本低于 5.0，不能安装分包形式的应用。";
const char* const kNoMatchingAbiText = "安装包里没有适合这部手机处理器的版本。";

namespace {

constexpr int kBaselineDensity = 160;

// Position of an ABI in the phone's order; INT_MAX when the phone does not run it.
int AbiRank(const std::string& abi, const PhoneTraits& phone) {
    for (std::size_t i = 0; i < phone.abis.size(); ++i) {
        if (phone.abis[i] == abi)
            return static_cast<int>(i);
    }
    return INT_MAX;
}

// Smaller is better: the distance to the phone's density, a higher bucket winning a tie.
long DensityPenalty(const std::string& bucket, int phoneDensity) {
    const int dpi = DensityOfBucket(bucket);
    const long distance = std::labs(static_cast<long>(dpi) - phoneDensity);
    return distance * 2 + (dpi < phoneDensity ? 1 : 0);
}

struct ModuleChoice {
    const SplitApk* main = nullptr;
    const SplitApk* abi = nullptr;
    bool hasAbiSplits = false;
    const SplitApk* density = nullptr;
    std::vector<const SplitApk*> languages;
};

} // namespace

SplitChoice ChooseSplits(const std::vector<SplitApk>& pieces, const std::vector<StandaloneApk>& standalones,
                         const PhoneTraits& phone) {
    const int density = phone.density > 0 ? phone.density : kBaselineDensity;

    // Modules in the order their main APKs come, the base first.
    std::vector<std::string> moduleNames;
    std::vector<ModuleChoice> modules;
    auto moduleOf = [&](const std::string& name) -> ModuleChoice* {
        for (std::size_t i = 0; i < moduleNames.size(); ++i) {
            if (moduleNames[i] == name)
                return &modules[i];
        }
        return nullptr;
    };
    for (const SplitApk& piece : pieces) {
        if (piece.kind == SplitKind::Base && moduleOf(piece.module) == nullptr) {
            moduleNames.insert(moduleNames.begin(), piece.module);
            modules.insert(modules.begin(), ModuleChoice{});
            modules.front().main = &piece;
        }
    }
    for (const SplitApk& piece : pieces) {
        if (piece.kind == SplitKind::Feature && moduleOf(piece.module) == nullptr) {
            moduleNames.push_back(piece.module);
            modules.push_back(ModuleChoice{});
            modules.back().main = &piece;
        }
    }

    for (const SplitApk& piece : pieces) {
        ModuleChoice* module = moduleOf(piece.module);
        if (module == nullptr)
            continue; // a config split of a module that isn't there
        switch (piece.kind) {
        case SplitKind::Abi:
            module->hasAbiSplits = true;
            if (AbiRank(piece.config, phone) != INT_MAX &&
                (module->abi == nullptr || AbiRank(piece.config, phone) < AbiRank(module->abi->config, phone)))
                module->abi = &piece;
            break;
        case SplitKind::Density:
            if (module->density == nullptr ||
                DensityPenalty(piece.config, density) < DensityPenalty(module->density->config, density))
                module->density = &piece;
            break;
        case SplitKind::Language:
            if (!phone.language.empty() && piece.config == phone.language)
                module->languages.push_back(&piece);
            break;
        default:
            break;
        }
    }

    SplitChoice choice;
    bool abiMissing = false;
    for (const ModuleChoice& module : modules) {
        choice.names.push_back(module.main->name);
        if (module.abi != nullptr)
            choice.names.push_back(module.abi->name);
        else if (module.hasAbiSplits)
            abiMissing = true;
        if (module.density != nullptr)
            choice.names.push_back(module.density->name);
        for (const SplitApk* language : module.languages)
            choice.names.push_back(language->name);
    }

    // A bundle of standalone APKs alone serves every phone from them.
    const bool oldPhone = phone.sdk > 0 && phone.sdk < kSplitsMinSdk;
    const bool needsStandalone = modules.empty() || (oldPhone && (choice.names.size() > 1 || abiMissing));
    if (!needsStandalone) {
        if (abiMissing) {
            choice.outcome = ChoiceOutcome::NoMatchingAbi;
            choice.names.clear();
        }
        return choice;
    }

    choice.names.clear();
    const StandaloneApk* best = nullptr;
    for (const StandaloneApk& standalone : standalones) {
        if (!standalone.abi.empty() && AbiRank(standalone.abi, phone) == INT_MAX)
            continue;
        if (best != nullptr) {
            const int rank = standalone.abi.empty() ? INT_MAX - 1 : AbiRank(standalone.abi, phone);
            const int bestRank = best->abi.empty() ? INT_MAX - 1 : AbiRank(best->abi, phone);
            if (rank > bestRank)
                continue;
            if (rank == bestRank) {
                const long penalty =
                    standalone.density.empty() ? LONG_MAX : DensityPenalty(standalone.density, density);
                const long bestPenalty = best->density.empty() ? LONG_MAX : DensityPenalty(best->density, density);
                if (penalty >= bestPenalty)
                    continue;
            }
        }
        best = &standalone;
    }
    if (best != nullptr) {
        choice.outcome = ChoiceOutcome::Standalone;
        choice.names.push_back(best->name);
    } else {
        choice.outcome = standalones.empty() ? ChoiceOutcome::TooOld : ChoiceOutcome::NoMatchingAbi;
    }
    return choice;
}
