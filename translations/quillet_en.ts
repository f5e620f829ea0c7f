<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Narration</name>
    <message numerus="yes">
        <source>%n slices</source>
        <translation>
            <numerusform>%n slice</numerusform>
            <numerusform>%n slices</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Score %1, %n cakes.</source>
        <translation>
            <numerusform>Score %1, %n cake.</numerusform>
            <numerusform>Score %1, %n cakes.</numerusform>
        </translation>
    </message>
</context>
</TS>
