<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>KeyTable</name>
    <message>
        <source>Move the pair left</source>
        <translation>ペアを左へ動かす</translation>
    </message>
    <message>
        <source>Move the pair right</source>
        <translation>ペアを右へ動かす</translation>
    </message>
    <message>
        <source>Turn the pair (swap its pieces)</source>
        <translation>ペアを左右反転する</translation>
    </message>
    <message>
        <source>Bring the pair down a row</source>
        <translation>ペアを1段下ろす</translation>
    </message>
    <message>
        <source>Start a game</source>
        <translation>ゲームを始める</translation>
    </message>
    <message>
        <source>High scores</source>
        <translation>ハイスコア</translation>
    </message>
    <message>
        <source>End the program</source>
        <translation>終了する</translation>
    </message>
    <message>
        <source>Pause or resume</source>
        <translation>一時停止・再開</translation>
    </message>
    <message>
        <source>Sound on or off</source>
        <translation>音のオン・オフ</translation>
    </message>
    <message>
        <source>Keys and rules</source>
        <translation>キーとルール</translation>
    </message>
    <message>
        <source>Read the board row by row</source>
        <translation>盤を行ごとに読み上げる</translation>
    </message>
    <message>
        <source>Read the board column by column</source>
        <translation>盤を列ごとに読み上げる</translation>
    </message>
    <message>
        <source>Read the next pair</source>
        <translation>次のペアを読み上げる</translation>
    </message>
    <message>
        <source>Read the score and the cakes</source>
        <translation>スコアとケーキ数を読み上げる</translation>
    </message>
    <message>
        <source>Read where the falling pair is</source>
        <translation>落ちているペアの位置を読み上げる</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>拡大する</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>縮小する</translation>
    </message>
    <message>
        <source>Zoom back to 100 %</source>
        <translation>100 % に戻す</translation>
    </message>
    <message>
        <source>Full screen on or off</source>
        <translation>全画面表示を切り替える</translation>
    </message>
</context>
<context>
    <name>Narration</name>
    <message>
        <source>Board</source>
        <translation>盤</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>次のペア</translation>
    </message>
    <message numerus="yes">
        <source>%n slices</source>
        <translation>
            <numerusform>%n切れ</numerusform>
        </translation>
    </message>
    <message>
        <source>empty</source>
        <translation>空</translation>
    </message>
    <message>
        <source>Row %1, column %2, %3</source>
        <translation>%1行%2列、%3</translation>
    </message>
    <message>
        <source>Next, left, %1</source>
        <translation>次のペアの左、%1</translation>
    </message>
    <message>
        <source>Next, right, %1</source>
        <translation>次のペアの右、%1</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>スコア</translation>
    </message>
    <message>
        <source>Score %1</source>
        <translation>スコア %1</translation>
    </message>
    <message>
        <source>Cakes</source>
        <translation>ケーキ数</translation>
    </message>
    <message>
        <source>Cakes %1</source>
        <translation>ケーキ数 %1</translation>
    </message>
    <message>
        <source>Row %1, columns %2 and %3: %4, %5.</source>
        <translation>%1行、%2列と%3列：%4、%5。</translation>
    </message>
    <message>
        <source>Row %1, column %2: %3.</source>
        <translation>%1行%2列：%3。</translation>
    </message>
    <message>
        <source>New pair in columns %1 and %2: %3, %4. Next: %5, %6.</source>
        <translation>新しいペアが%1列と%2列に：%3、%4。次は%5、%6。</translation>
    </message>
    <message>
        <source>Landed in row %1, columns %2 and %3.</source>
        <translation>%1行の%2列と%3列に着地。</translation>
    </message>
    <message>
        <source>Landed in row %1, column %2.</source>
        <translation>%1行%2列に着地。</translation>
    </message>
    <message>
        <source>Merged in row %1, column %2: %3.</source>
        <translation>%1行%2列でまとまって%3。</translation>
    </message>
    <message>
        <source>Second cake, in row %1, column %2! Bonus!</source>
        <translation>%1行%2列で2個目のケーキ！ボーナス！</translation>
    </message>
    <message>
        <source>Cake in row %1, column %2!</source>
        <translation>%1行%2列でケーキ完成！</translation>
    </message>
    <message>
        <source>Score %1.</source>
        <translation>スコア %1。</translation>
    </message>
    <message>
        <source>Faster!</source>
        <translation>スピードアップ！</translation>
    </message>
    <message>
        <source>Paused. P resumes.</source>
        <translation>一時停止中。P で再開。</translation>
    </message>
    <message>
        <source>Resumed.</source>
        <translation>再開。</translation>
    </message>
    <message>
        <source>Game over. Score %1, 1st place.</source>
        <translation>ゲーム終了。スコア %1、1位。</translation>
    </message>
    <message>
        <source>Game over. Score %1, 2nd place.</source>
        <translation>ゲーム終了。スコア %1、2位。</translation>
    </message>
    <message>
        <source>Game over. Score %1, 3rd place.</source>
        <translation>ゲーム終了。スコア %1、3位。</translation>
    </message>
    <message>
        <source>Game over. Score %1, 4th place.</source>
        <translation>ゲーム終了。スコア %1、4位。</translation>
    </message>
    <message>
        <source>Game over. Score %1, 5th place.</source>
        <translation>ゲーム終了。スコア %1、5位。</translation>
    </message>
    <message>
        <source>Game over. Score %1, not a high score.</source>
        <translation>ゲーム終了。スコア %1、ハイスコアには入りませんでした。</translation>
    </message>
    <message>
        <source>Type your name, then Tab and Space for Close.</source>
        <translation>名前を入力し、Tab で Close へ移って Space で閉じます。</translation>
    </message>
    <message>
        <source>Your score is stored.</source>
        <translation>スコアを保存しました。</translation>
    </message>
    <message>
        <source>column %1, %2</source>
        <translation>%1列に%2</translation>
    </message>
    <message>
        <source>Row %1: %2.</source>
        <translation>%1行：%2。</translation>
    </message>
    <message>
        <source>The board is empty.</source>
        <translation>盤は空です。</translation>
    </message>
    <message>
        <source>row %1, %2</source>
        <translation>%1行に%2</translation>
    </message>
    <message>
        <source>Column %1: empty.</source>
        <translation>%1列：空。</translation>
    </message>
    <message>
        <source>Column %1: %2.</source>
        <translation>%1列：%2。</translation>
    </message>
    <message>
        <source>Next: %1, %2.</source>
        <translation>次のペア：%1、%2。</translation>
    </message>
    <message numerus="yes">
        <source>Score %1, %n cakes.</source>
        <translation>
            <numerusform>スコア %1、ケーキ%n個。</numerusform>
        </translation>
    </message>
    <message>
        <source>No pair is falling.</source>
        <translation>落ちているペアはありません。</translation>
    </message>
    <message>
        <source>No game yet. F2 starts one.</source>
        <translation>まだゲームがありません。F2 で始めます。</translation>
    </message>
    <message>
        <source>F1 lists the keys.</source>
        <translation>F1 でキーの一覧。</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <comment>one sentence after another, each ending in its own stop</comment>
        <translation>%1%2</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <comment>one item of a list after another; the items hold commas</comment>
        <translation>%1、%2</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <comment>one item of a list after another</comment>
        <translation>%1、%2</translation>
    </message>
</context>
<context>
    <name>quillet::HighScoreWindow</name>
    <message>
        <source>The high scores could not be saved. Close tries again next time.</source>
        <translation>ハイスコアを保存できませんでした。次に Close を押したときにもう一度保存します。</translation>
    </message>
    <message>
        <source>Name for the %1 place</source>
        <translation>%1 の名前</translation>
    </message>
</context>
<context>
    <name>quillet::KeysWindow</name>
    <message>
        <source>• Pairs of cake pieces enter at the top and fall one row at a time.
• A piece that lands on another merges with it when the two make at most %1 slices. A merge scores %2 a slice.
• %1 slices make a whole cake. It leaves the board and scores %3: %4 for the merge and %5 for the cake. A second cake from the same pair scores %6 more.
• The 1st, 4th, 7th … cake makes the pieces fall faster.
• The game ends when a new pair has no room at the top.</source>
        <translation>• ケーキのピースが2つ1組で上から入り、1段ずつ落ちます。
• 落ちたピースは、下のピースと合わせて%1切れ以下なら1つにまとまり、1切れにつき%2点です。
• %1切れでホールケーキの完成。盤から消えて%3点（まとめて%4点、ケーキで%5点）。同じ組でもう1つ完成させると、さらに%6点です。
• 1個目、4個目、7個目…のケーキで落ちる速さが上がります。
• 新しい組の入る場所がなくなるとゲーム終了です。</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>KEYS</source>
        <translation>キー</translation>
    </message>
    <message>
        <source>RULES</source>
        <translation>ルール</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Keys and rules</source>
        <translation>キーとルール</translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <comment>two keys that do the same</comment>
        <translation>%1 / %2</translation>
    </message>
</context>
<context>
    <name>quillet::MainWindow</name>
    <message>
        <source>Left</source>
        <translation>左へ</translation>
    </message>
    <message>
        <source>Turn</source>
        <translation>左右反転</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>右へ</translation>
    </message>
</context>
<context>
    <name>quillet::PauseCover</name>
    <message>
        <source>PAUSE

P or a click here
resumes the game</source>
        <translation>一時停止

P またはここをクリックで
ゲームを再開</translation>
    </message>
</context>
<context>
    <name>quillet::PlayerActions</name>
    <message>
        <source>Sound</source>
        <translation>音</translation>
    </message>
    <message>
        <source>Keys and rules…</source>
        <translation>キーとルール…</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>再開</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>一時停止</translation>
    </message>
    <message>
        <source>Full screen</source>
        <translation>全画面表示</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>ズーム</translation>
    </message>
</context>
</TS>
