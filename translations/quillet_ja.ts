<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>Narration</name>
    <message>
        <source>Board</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n slices</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1, column %2, %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next, left, %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next, right, %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Score</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Score %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cakes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cakes %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1, columns %2 and %3: %4, %5.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1, column %2: %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New pair in columns %1 and %2: %3, %4. Next: %5, %6.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Landed in row %1, columns %2 and %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Landed in row %1, column %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Merged in row %1, column %2: %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Second cake, in row %1, column %2! Bonus!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cake in row %1, column %2!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Score %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Faster!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paused. P resumes.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resumed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game over. Score %1, 1st place.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game over. Score %1, 2nd place.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game over. Score %1, 3rd place.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game over. Score %1, 4th place.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game over. Score %1, 5th place.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game over. Score %1, not a high score.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type your name, then Tab and Space for Close.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your score is stored.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>column %1, %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The board is empty.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>row %1, %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Column %1: empty.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Column %1: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next: %1, %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Score %1, %n cakes.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>No pair is falling.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No game yet. F2 starts one.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>F1 lists the keys.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
