// Plays the game from arbitrary bytes and stops at the first broken rule.
//
// The input is read as one stream of bytes:
//   byte 0       where the counters start each game: bit 0 set places Score and
//                CakeCount just below their limits right after every Start, so
//                that the stopping at the limits is played through too;
//   then, event by event, one byte each: byte % 5 picks a tick, Left, Right,
//                Turn or Start; every random number the game draws takes the
//                next byte of the stream (byte / 256), so the input deals the
//                pieces as well.
// Ticks come only while the fall timer runs and Start only while its button is
// enabled, as in the window. The three moves are delivered at any time: a move
// that the window could not deliver must change nothing.
//
// After every event the five invariants of the board model must hold, the
// score and the cake count must not fall during a game, and nothing the game
// shows may name a cell off the board. The build checks every index into the
// board's std::array as well, so a rule that reads or writes off the board
// stops the run where it happens. A broken rule aborts with a message.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/game.h"
#include "game/game_view.h"
#include "game/random_source.h"
#include "game/rules.h"

namespace {

using namespace quillet;

[[noreturn]] void Broken(const char* rule, int line) {
    std::fprintf(stderr, "rule broken (line %d): %s\n", line, rule);
    std::abort();
}

#define REQUIRE(condition)                              \
    do {                                                \
        if (!(condition)) Broken(#condition, __LINE__); \
    } while (0)

// The rest of the input, read front to back. Past its end it reads as zeros.
class ByteStream {
public:
    ByteStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return position_ >= size_; }
    std::uint8_t Next() { return Empty() ? 0 : data_[position_++]; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Deals the next byte of the input as a number in [0, 1).
class StreamRandom : public RandomSource {
public:
    explicit StreamRandom(ByteStream& stream) : stream_(stream) {}
    void SeedFromClock() override {}
    double NextUniform() override { return stream_.Next() / 256.0; }

private:
    ByteStream& stream_;
};

bool IsCue(const std::string& cue) {
    return cue == "start" || cue == "add0" || cue == "add" || cue == "add2";
}

// A decimal counter as the labels show it: digits only, no sign, no leading zero.
bool IsPlainCount(const std::string& text) {
    if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The window as the rules see it: keeps what is on screen and checks every
// call against the ranges the window relies on.
class CheckingView : public GameView {
public:
    std::array<int, rules::CellCount> cells{};
    std::array<int, 2> next{};
    std::array<bool, 4> enabled{true, false, false, false};  // Start, Left, Right, Turn
    bool timer_enabled = false;
    int cakes_completed = 0;  // "add" cues: one per whole cake, also at the count's limit
    int rankings = 0;
    std::string score_caption;
    std::string cake_caption;

    bool IsEnabled(PlayButton button) const { return enabled[static_cast<int>(button)]; }

    void ShowCell(int index, int count) override {
        REQUIRE(index >= 0 && index < rules::CellCount);
        REQUIRE(count >= 0 && count <= rules::WholeCake);
        cells[index] = count;
    }
    void ShowNext(int element, int count) override {
        REQUIRE(element == 0 || element == 1);
        REQUIRE(count >= 1 && count <= rules::LargestDrawnPiece);
        next[element] = count;
    }
    void showScore(const std::string& text) override {
        REQUIRE(IsPlainCount(text));
        score_caption = text;
    }
    void showCakeCount(const std::string& text) override {
        REQUIRE(IsPlainCount(text));
        cake_caption = text;
    }
    void SetButtonEnabled(PlayButton button, bool on) override {
        const int index = static_cast<int>(button);
        REQUIRE(index >= 0 && index < 4);
        enabled[index] = on;
    }
    void SetTimerInterval(int milliseconds) override {
        REQUIRE(milliseconds == rules::LandingInterval ||
                (milliseconds >= rules::FastestFall && milliseconds <= rules::StartFallInterval));
    }
    void SetTimerEnabled(bool on) override { timer_enabled = on; }
    void playCue(const std::string& cue) override {
        REQUIRE(IsCue(cue));
        if (cue == "add") ++cakes_completed;
    }
    void rankFinishedGame() override {
        // The game is ranked only after it has been switched to the over phase.
        REQUIRE(!timer_enabled);
        REQUIRE(IsEnabled(PlayButton::Start));
        REQUIRE(!IsEnabled(PlayButton::Left));
        REQUIRE(!IsEnabled(PlayButton::Right));
        REQUIRE(!IsEnabled(PlayButton::Turn));
        ++rankings;
    }
};

int Slices(const Game& game) {
    int slices = 0;
    for (int count : game.Board) slices += count;
    return slices;
}

int ExpectedFallInterval(int cakes) {
    const int interval =
        rules::StartFallInterval -
        rules::SpeedUpStep * ((cakes + rules::SpeedUpEvery - 1) / rules::SpeedUpEvery);
    return interval < rules::FastestFall ? rules::FastestFall : interval;
}

// The five invariants of the board model, which hold between any two events:
// every cell holds 0 to 7 slices; every cell shows what it holds; a falling
// piece's cell is not empty; two falling pieces stand side by side in one row,
// the left one in columns 0 to 2; the chain count is 0, 1 or 2. Also: each
// element of the pair is on the board or holds its own landed marker, and
// before the first game the pair still reads (0, 0).
void CheckInvariants(const Game& game, const CheckingView& view, bool started) {
    for (int cell = 0; cell < rules::CellCount; ++cell) {
        REQUIRE(game.Board[cell] >= 0 && game.Board[cell] <= rules::LargestDrawnPiece);
        REQUIRE(view.cells[cell] == game.Board[cell]);
    }
    for (int element = 0; element < 2; ++element) {
        const int p = game.FallingPair[element];
        if (!started) {
            REQUIRE(p == 0);
            continue;
        }
        REQUIRE((p >= 0 && p < rules::CellCount) || p == rules::LandedMarker + element);
        if (p < rules::CellCount) REQUIRE(game.Board[p] != 0);
    }
    const int left = game.FallingPair[0];
    const int right = game.FallingPair[1];
    if (started && left < rules::CellCount && right < rules::CellCount) {
        REQUIRE(right == left + 1);
        REQUIRE(left % rules::Columns <= rules::Columns - 2);
    }
    REQUIRE(game.ChainCount >= 0 && game.ChainCount <= 2);
}

// Where the counters are put after Start when the input asks for the limits:
// far enough below that a few cakes reach them.
void PlaceNearTheLimits(Game& game, std::uint8_t options) {
    game.Score = rules::ScoreLimit - 100 * (options >> 1);
    game.CakeCount = static_cast<std::int16_t>(rules::CakeCountLimit - ((options >> 1) & 7));
    game.FallInterval = static_cast<std::int16_t>(ExpectedFallInterval(game.CakeCount));
}

enum Event { Tick, Left, Right, Turn, Start, EventKinds };

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteStream stream(data, size);
    StreamRandom random(stream);
    CheckingView view;
    Game game(view, random);
    const std::uint8_t options = stream.Next();
    bool started = false;

    while (!stream.Empty()) {
        const Event event = static_cast<Event>(stream.Next() % EventKinds);
        const std::int32_t score_before = game.Score;
        const int cakes_before = game.CakeCount;
        const int completed_before = view.cakes_completed;
        const int slices_before = Slices(game);
        const auto pair_before = game.FallingPair;
        const auto next_before = game.NextPair;
        const auto board_before = game.Board;
        const bool playing = view.timer_enabled;

        switch (event) {
            case Tick:
                if (!view.timer_enabled) continue;
                game.tick();
                break;
            case Left:
                game.moveLeft();
                break;
            case Right:
                game.moveRight();
                break;
            case Turn:
                game.swapPieces();
                break;
            case Start:
                if (!view.IsEnabled(PlayButton::Start)) continue;
                game.start();
                started = true;
                REQUIRE(Slices(game) == 0);
                REQUIRE(game.Score == 0 && game.CakeCount == 0);
                REQUIRE(view.timer_enabled);
                if (options & 1) PlaceNearTheLimits(game, options);
                CheckInvariants(game, view, started);
                continue;
            case EventKinds:
                break;
        }

        CheckInvariants(game, view, started);
        // The phase: the timer runs exactly while Start is disabled, and the
        // move buttons are enabled exactly while it runs.
        REQUIRE(view.timer_enabled != view.IsEnabled(PlayButton::Start));
        REQUIRE(view.IsEnabled(PlayButton::Left) == view.timer_enabled);
        REQUIRE(view.IsEnabled(PlayButton::Right) == view.timer_enabled);
        REQUIRE(view.IsEnabled(PlayButton::Turn) == view.timer_enabled);
        // The counters never fall during a game and stop at their limits.
        REQUIRE(game.Score >= score_before);
        REQUIRE(game.CakeCount >= cakes_before);
        // Before the first game every counter is still 0.
        REQUIRE(game.FallInterval == (started ? ExpectedFallInterval(game.CakeCount) : 0));

        if (event != Tick) {
            // A move shifts or swaps the pair and nothing else; one that the
            // window could not have delivered changes nothing at all.
            REQUIRE(game.Score == score_before);
            REQUIRE(game.CakeCount == cakes_before);
            REQUIRE(Slices(game) == slices_before);
            if (!playing) {
                REQUIRE(game.Board == board_before);
                REQUIRE(game.FallingPair == pair_before);
            }
            continue;
        }

        // One tick completes at most two cakes and scores at most
        // 2 x (800 + 1000) + 10000.
        REQUIRE(game.Score - score_before <= 13600);
        REQUIRE(view.cakes_completed - completed_before <= 2);
        REQUIRE(view.score_caption == std::to_string(game.Score));
        REQUIRE(view.cake_caption == std::to_string(game.CakeCount));
        // No slice is lost or made: only an entering pair brings slices in, and
        // only a whole cake takes eight away.
        const bool entered =
            pair_before[0] >= rules::LandedMarker && pair_before[1] >= rules::LandedMarker &&
            game.FallingPair[0] == rules::EntryLeft && game.FallingPair[1] == rules::EntryRight;
        const int added = entered ? next_before[0] + next_before[1] : 0;
        REQUIRE(Slices(game) + rules::WholeCake * (view.cakes_completed - completed_before) ==
                slices_before + added);
        if (entered) {
            REQUIRE(view.next[0] == game.NextPair[0] && view.next[1] == game.NextPair[1]);
        }
    }
    return 0;
}
