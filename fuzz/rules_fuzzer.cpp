// Plays the game from arbitrary bytes and stops at the first broken rule.
//
// The input is read as one stream of bytes:
//   byte 0       where the counters start each game: bit 0 set places Score and
//                cakeCount just below their limits right after every Start, so
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
    ByteStream(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_position >= m_size; }
    std::uint8_t next() { return empty() ? 0 : m_data[m_position++]; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

// Deals the next byte of the input as a number in [0, 1).
class StreamRandom : public RandomSource {
public:
    explicit StreamRandom(ByteStream& stream) : m_stream(stream) {}
    void seedFromClock() {}
    double nextUniform() { return m_stream.next() / 256.0; }

private:
    ByteStream& m_stream;
};

bool isCue(const std::string& cue) {
    return cue == "start" || cue == "add0" || cue == "add" || cue == "add2";
}

// A decimal counter as the labels show it: digits only, no sign, no leading zero.
bool isPlainCount(const std::string& text) {
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
    bool timerEnabled = false;
    int cakesCompleted = 0;  // "add" cues: one per whole cake, also at the count's limit
    int rankings = 0;
    std::string scoreCaption;
    std::string cakeCaption;

    bool isEnabled(PlayButton button) const { return enabled[static_cast<int>(button)]; }

    void showCell(int index, int count) {
        REQUIRE(index >= 0 && index < rules::CellCount);
        REQUIRE(count >= 0 && count <= rules::WholeCake);
        cells[index] = count;
    }
    void showNext(int element, int count) {
        REQUIRE(element == 0 || element == 1);
        REQUIRE(count >= 1 && count <= rules::LargestDrawnPiece);
        next[element] = count;
    }
    void showScore(const std::string& text) override {
        REQUIRE(isPlainCount(text));
        scoreCaption = text;
    }
    void showCakeCount(const std::string& text) override {
        REQUIRE(isPlainCount(text));
        cakeCaption = text;
    }
    void setButtonEnabled(PlayButton button, bool on) {
        const int index = static_cast<int>(button);
        REQUIRE(index >= 0 && index < 4);
        enabled[index] = on;
    }
    void setTimerInterval(int milliseconds) {
        REQUIRE(milliseconds == rules::LandingInterval ||
                (milliseconds >= rules::FastestFall && milliseconds <= rules::StartFallInterval));
    }
    void setTimerEnabled(bool on) { timerEnabled = on; }
    void playCue(const std::string& cue) override {
        REQUIRE(isCue(cue));
        if (cue == "add") ++cakesCompleted;
    }
    void rankFinishedGame() override {
        // The game is ranked only after it has been switched to the over phase.
        REQUIRE(!timerEnabled);
        REQUIRE(isEnabled(PlayButton::Start));
        REQUIRE(!isEnabled(PlayButton::Left));
        REQUIRE(!isEnabled(PlayButton::Right));
        REQUIRE(!isEnabled(PlayButton::Turn));
        ++rankings;
    }
};

int slices(const Game& game) {
    int slices = 0;
    for (int count : game.board) slices += count;
    return slices;
}

int expectedFallInterval(int cakes) {
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
void checkInvariants(const Game& game, const CheckingView& view, bool started) {
    for (int cell = 0; cell < rules::CellCount; ++cell) {
        REQUIRE(game.board[cell] >= 0 && game.board[cell] <= rules::LargestDrawnPiece);
        REQUIRE(view.cells[cell] == game.board[cell]);
    }
    for (int element = 0; element < 2; ++element) {
        const int p = game.fallingPair[element];
        if (!started) {
            REQUIRE(p == 0);
            continue;
        }
        REQUIRE((p >= 0 && p < rules::CellCount) || p == rules::LandedMarker + element);
        if (p < rules::CellCount) REQUIRE(game.board[p] != 0);
    }
    const int left = game.fallingPair[0];
    const int right = game.fallingPair[1];
    if (started && left < rules::CellCount && right < rules::CellCount) {
        REQUIRE(right == left + 1);
        REQUIRE(left % rules::Columns <= rules::Columns - 2);
    }
    REQUIRE(game.chainCount >= 0 && game.chainCount <= 2);
}

// Where the counters are put after Start when the input asks for the limits:
// far enough below that a few cakes reach them.
void placeNearTheLimits(Game& game, std::uint8_t options) {
    game.score = rules::ScoreLimit - 100 * (options >> 1);
    game.cakeCount = static_cast<std::int16_t>(rules::CakeCountLimit - ((options >> 1) & 7));
    game.fallInterval = static_cast<std::int16_t>(expectedFallInterval(game.cakeCount));
}

enum Event { Tick, Left, Right, Turn, Start, EventKinds };

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): libFuzzer's entry point, named by it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteStream stream(data, size);
    StreamRandom random(stream);
    CheckingView view;
    Game game(view, random);
    const std::uint8_t options = stream.next();
    bool started = false;

    while (!stream.empty()) {
        const Event event = static_cast<Event>(stream.next() % EventKinds);
        const std::int32_t scoreBefore = game.score;
        const int cakesBefore = game.cakeCount;
        const int completedBefore = view.cakesCompleted;
        const int slicesBefore = slices(game);
        const auto pairBefore = game.fallingPair;
        const auto nextBefore = game.nextPair;
        const auto boardBefore = game.board;
        const bool playing = view.timerEnabled;

        switch (event) {
            case Tick:
                if (!view.timerEnabled) continue;
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
                if (!view.isEnabled(PlayButton::Start)) continue;
                game.start();
                started = true;
                REQUIRE(slices(game) == 0);
                REQUIRE(game.score == 0 && game.cakeCount == 0);
                REQUIRE(view.timerEnabled);
                if (options & 1) placeNearTheLimits(game, options);
                checkInvariants(game, view, started);
                continue;
            case EventKinds:
                break;
        }

        checkInvariants(game, view, started);
        // The phase: the timer runs exactly while Start is disabled, and the
        // move buttons are enabled exactly while it runs.
        REQUIRE(view.timerEnabled != view.isEnabled(PlayButton::Start));
        REQUIRE(view.isEnabled(PlayButton::Left) == view.timerEnabled);
        REQUIRE(view.isEnabled(PlayButton::Right) == view.timerEnabled);
        REQUIRE(view.isEnabled(PlayButton::Turn) == view.timerEnabled);
        // The counters never fall during a game and stop at their limits.
        REQUIRE(game.score >= scoreBefore);
        REQUIRE(game.cakeCount >= cakesBefore);
        // Before the first game every counter is still 0.
        REQUIRE(game.fallInterval == (started ? expectedFallInterval(game.cakeCount) : 0));

        if (event != Tick) {
            // A move shifts or swaps the pair and nothing else; one that the
            // window could not have delivered changes nothing at all.
            REQUIRE(game.score == scoreBefore);
            REQUIRE(game.cakeCount == cakesBefore);
            REQUIRE(slices(game) == slicesBefore);
            if (!playing) {
                REQUIRE(game.board == boardBefore);
                REQUIRE(game.fallingPair == pairBefore);
            }
            continue;
        }

        // One tick completes at most two cakes and scores at most
        // 2 x (800 + 1000) + 10000.
        REQUIRE(game.score - scoreBefore <= 13600);
        REQUIRE(view.cakesCompleted - completedBefore <= 2);
        REQUIRE(view.scoreCaption == std::to_string(game.score));
        REQUIRE(view.cakeCaption == std::to_string(game.cakeCount));
        // No slice is lost or made: only an entering pair brings slices in, and
        // only a whole cake takes eight away.
        const bool entered =
            pairBefore[0] >= rules::LandedMarker && pairBefore[1] >= rules::LandedMarker &&
            game.fallingPair[0] == rules::EntryLeft && game.fallingPair[1] == rules::EntryRight;
        const int added = entered ? nextBefore[0] + nextBefore[1] : 0;
        REQUIRE(slices(game) + rules::WholeCake * (view.cakesCompleted - completedBefore) ==
                slicesBefore + added);
        if (entered) {
            REQUIRE(view.next[0] == game.nextPair[0] && view.next[1] == game.nextPair[1]);
        }
    }
    return 0;
}
