// The simulator's title formatter (IPC_FORMAT_TITLE): a small part of the player's own language.
//
//   %name%            the field, asked through the callback; "?" when it gets no answer
//   $if(c,then,else)  then when c is true, else otherwise (else may be left out)
//   $if2(a,b)         a when a is true, b otherwise
//   [...]             the inside, only when it is true
//
// A piece of text is true when a field inside it has a non-empty value. Everything else is
// copied; a comma or parenthesis outside a function is plain text. Unknown functions give
// nothing.
#include <string_view>

#include "player.h"

namespace sim {

namespace {

struct Piece {
  std::string text;
  bool truth = false;
};

class Formatter {
 public:
  Formatter(const std::string& format,
            const std::function<std::string(const std::string&, bool*)>& field)
      : format_(format), field_(field) {}

  std::string Run() { return Sequence("").text; }

 private:
  bool AtEnd() const { return at_ >= format_.size(); }

  // Reads up to (not past) one of `stops` or the end.
  Piece Sequence(std::string_view stops) {
    Piece piece;
    while (!AtEnd() && stops.find(format_[at_]) == std::string_view::npos) {
      char c = format_[at_];
      if (c == '%') Field(piece);
      else if (c == '[') Optional(piece);
      else if (c == '$') Function(piece);
      else {
        piece.text += c;
        ++at_;
      }
    }
    return piece;
  }

  void Add(Piece& to, const Piece& from) {
    to.text += from.text;
    to.truth = to.truth || from.truth;
  }

  void Field(Piece& piece) {
    std::size_t close = format_.find('%', at_ + 1);
    if (close == std::string::npos) {
      piece.text += format_[at_++];
      return;
    }
    bool found = false;
    std::string value = field_(format_.substr(at_ + 1, close - at_ - 1), &found);
    at_ = close + 1;
    if (!found) {
      piece.text += '?';
      return;
    }
    piece.text += value;
    piece.truth = piece.truth || !value.empty();
  }

  void Optional(Piece& piece) {
    ++at_;
    Piece inside = Sequence("]");
    if (!AtEnd()) ++at_;
    if (inside.truth) Add(piece, inside);
  }

  void Function(Piece& piece) {
    std::size_t open = format_.find('(', at_ + 1);
    std::string name = open == std::string::npos ? "" : format_.substr(at_ + 1, open - at_ - 1);
    if (name.empty() || name.find_first_of(" %$[],)") != std::string::npos) {
      piece.text += format_[at_++];
      return;
    }
    at_ = open + 1;
    std::vector<Piece> args;
    while (true) {
      args.push_back(Sequence(",)"));
      if (AtEnd()) break;
      if (format_[at_++] == ')') break;
    }
    auto arg = [&](std::size_t i) { return i < args.size() ? args[i] : Piece(); };
    if (name == "if") Add(piece, arg(0).truth ? arg(1) : arg(2));
    else if (name == "if2") Add(piece, arg(0).truth ? arg(0) : arg(1));
  }

  const std::string& format_;
  const std::function<std::string(const std::string&, bool*)>& field_;
  std::size_t at_ = 0;
};

}  // namespace

std::string FormatTitle(const std::string& format,
                        const std::function<std::string(const std::string&, bool*)>& field) {
  return Formatter(format, field).Run();
}

}  // namespace sim
