#include "scores/score_commands.h"

#include <QStringList>

#include "console/accumulator.h"
#include "console/console.h"
#include "console/interpreter.h"
#include "console/shell_state.h"
#include "platform/numbers.h"
#include "scores/score_list.h"

namespace rootix::scores {

void registerScoreCommands(console::Interpreter& interpreter, const ScoreServices& services) {
  using platform::CommandCall;
  console::Interpreter& in = interpreter;
  ScoreServices sv = services;
  auto getScores = [&in, sv] { GetScores(in.state().records, sv.scores, sv.hardware); };
  auto print = [&in](const QString& s) { in.console().PrintLn(s); };

  in.commands().add(QStringLiteral("showscore"), [sv, getScores, print](CommandCall& c) {
    getScores();
    // One console line per text line, as the transcript shows any other output.
    const QStringList lines = sv.scores.at(c.whole16()).toString(true).split(QStringLiteral("\r\n"));
    for (const QString& line : lines) print(line);
  });

  in.commands().add(QStringLiteral("save"), [sv, getScores, print](CommandCall& c) {
    getScores();
    const QStringList words = c.trimmedArg().split(u' ');
    if (words.size() < 2) {
      print(QStringLiteral("Syntax: save path scorenumber"));
      return;
    }
    const int16_t index = num::toInt16(num::convertNumber(words[1]));
    print(QString::number(sv.scores.at(index).saveScore(words[0], sv.dialogs)));
  });

  in.commands().add(QStringLiteral("load"), [sv, getScores, print](CommandCall& c) {
    getScores();
    Score score;
    const int result = score.loadScore(c.trimmedArg());
    print(QString::number(result));
    // Kept even when loading failed, as loadScore left it.
    sv.scores.append(std::move(score));
  });

  in.commands().add(QStringLiteral("rootix=score"),
                [sv](CommandCall& c) { sv.accumulator.value = sv.scores.at(c.whole32()).score_score; });
  in.commands().add(QStringLiteral("rootix=test"),
                [sv](CommandCall& c) { sv.accumulator.value = sv.scores.at(c.whole32()).score_test; });
}

}  // namespace rootix::scores
