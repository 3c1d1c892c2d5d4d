#pragma once
// The command line of each of our programs: the options it declares on an App, --help
// generated from them, and one way of refusing a bad command line (the exit status 2).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>
#include <string>

namespace ZerinCommandLine {

class App : public CLI::App {
 public:
  App(std::string description, std::string name, std::string footer = "")
      : CLI::App(std::move(description), std::move(name)) {
    // Each option may be given again, the last one counts, as scripts that append to a
    // default command line expect.
    option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    // What nobody declared is refused with its own name, after parsing (see parse).
    allow_extras();
    if (!footer.empty()) this->footer(std::move(footer));
  }

  // Parses the arguments into what the options declare. False when the program should not
  // run: `help` is true after --help or -h; otherwise `error` says what was wrong.
  bool parse(int argc, char** argv, bool& help, std::string& error) {
    help = false;
    error.clear();
    try {
      CLI::App::parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
      help = true;
      return false;
    } catch (const CLI::ArgumentMismatch& mismatch) {
      // Repeated options are taken, so a mismatch is a value option at the end of the line;
      // the parser names it before a colon.
      const std::string text = mismatch.what();
      error = text.substr(0, text.find(':')) + " needs a value";
      return false;
    } catch (const CLI::ParseError& refused) {
      error = refused.what();
      return false;
    }
    if (!remaining().empty()) {
      error = "unknown option " + remaining().front();
      return false;
    }
    return true;
  }

  // parse() for main(): the exit status when the program should stop, after the help on
  // standard output (0) or the reason and the help on standard error (2).
  std::optional<int> parseOrExit(int argc, char** argv) {
    bool help = false;
    std::string error;
    if (parse(argc, argv, help, error)) return std::nullopt;
    return refuse(help, error);
  }

  int refuse(bool help, const std::string& error) const {
    if (help) {
      std::fputs(this->help().c_str(), stdout);
      return 0;
    }
    std::fprintf(stderr, "%s: %s\n\n%s", get_name().c_str(), error.c_str(), this->help().c_str());
    return 2;
  }
};

}  // namespace ZerinCommandLine
