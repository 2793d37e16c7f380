#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a phone already has of a package, from `adb -s <serial> shell dumpsys package <name>`, and
// what installing this package there means.

enum class CopyState {
    Unknown,      // the phone gave no answer that can be read
    NotInstalled, // the phone answered, and has no such package
    Installed,
};

struct PackageOnPhone {
    CopyState state = CopyState::Unknown;
    std::int64_t versionCode = -1; // -1: not stated
    std::string versionName;       // UTF-8 without control characters; empty when not stated
    // Android 9 and later name the signers by the hash of their certificates (SignerHash.h);
    // older phones print numbers that say nothing about the signer.
    bool signersShown = false;
    std::vector<std::uint32_t> signers;
    std::vector<std::uint32_t> pastSigners; // keys the app has rotated away from
};

// Reads the block of exactly `packageName` under "Packages:" (an updated system app has a second
// block under "Hidden system packages:", which is not the one in use). Linear in the output's
// size, whatever it holds.
PackageOnPhone ReadDumpsysPackage(const std::string& output, const std::string& packageName);

// What installing this package onto the phone amounts to.
enum class CopyCase {
    Unknown,      // the phone's answer, or this package's version, is not known: install as ever
    NotInstalled, // a new install
    Upgrade,      // the phone has an older version
    Same,         // the same version: a reinstall
    Downgrade,    // the phone has a newer version: adb refuses unless asked for a downgrade
    OtherSigner,  // the phone's copy is signed by someone else: only an uninstall makes room
};

// `ourSigner` is the hash of this package's signer certificate, when it can be known. A different
// signer is claimed only when both sides are known and this one is neither the phone's signer nor
// one it rotated from, since the answer to that question deletes the user's data.
CopyCase CompareCopy(const PackageOnPhone& copy, std::int64_t ourVersionCode, std::optional<std::uint32_t> ourSigner);
