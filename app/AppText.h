#pragma once
#include <string>
#include <vector>

// Fixed texts of the program and the small rules about text that the window follows.

// The publisher's web site, shared by the caption and the link labels.
extern const char* const kPublisherHost;

// The application title: the caption of every error box. "Varnel", seven blanks and a three-byte
// tail that is deliberately not valid GBK (see AppText.cpp for the bytes and why).
extern const char* const kApplicationTitle;

// The main window's caption, ending in the publisher's web address.
std::string FormCaption();

// An error box shows the error's message with a full stop added when its last byte sorts after
// "." (so "... not found" and "... 1:" get one, "... 1." and "... -" do not), unless it ends in a
// Chinese full stop, exclamation or question mark.
std::string WithFullStop(const std::string& message);

// What the raw command line asks for. The file association starts the program as
// "<exe>" "<apk>"; any other shape is a plain start.
struct StartupArguments {
    bool plainStart = true;
    std::string apkFileName; // with every double quote removed
    // Every item after the program's own, each with its double quotes removed; more than one when
    // the command line names several packages.
    std::vector<std::string> apkFileNames;
};
StartupArguments ReadStartupCommandLine(const std::string& commandLine);

// The Open dialog's filter, its entries as the dialog takes them (name, NUL, patterns, NUL; a
// second NUL at the end): APKs first, then bundles, then every kind the program opens.
std::string OpenDialogFilter();

// The files chosen in the Open dialog with multiple selection, from its buffer (up to its double
// NUL): one full path alone, or the folder followed by the names chosen in it.
std::vector<std::string> OpenDialogFiles(const std::string& buffer);

// A signature verdict's line as the list's narrow column shows it: the verdict's word alone ("有效",
// "无效", "未签名"); a line without one stays as it is. The whole line is the row's tip.
std::string ShortSignatureVerdict(const std::string& label);

// Where a link label's address is sent: without its trailing blanks, and with "http://" put
// before an address that names no scheme, so the user's default browser opens it as a web page.
std::string BrowserAddress(const std::string& address);

// The addresses of the link labels, as they stand (trailing blanks and all).
std::string GoMarketAddress();
std::string DownDriverAddress();
std::string HelpAddress();
std::string CheckUpdateAddress();
std::string DownHintAddress();
