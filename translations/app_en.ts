<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
    <context>
        <name>DiffDialog</name>
        <message>
            <source>文本比较</source>
            <translation>Compare Texts</translation>
        </message>
        <message>
            <source>对比文本A：
请输入或[Ctrl+V]粘贴或点击[导入A]按钮导入纯文本文件</source>
            <translation>Text A:
Type or paste it here ([Ctrl+V]), or press [Import A] to import a plain text file</translation>
        </message>
        <message>
            <source>导入A</source>
            <translation>Import A</translation>
        </message>
        <message>
            <source>对比文本B：
请输入或[Ctrl+V]粘贴或点击[导入B]按钮导入纯文本文件</source>
            <translation>Text B:
Type or paste it here ([Ctrl+V]), or press [Import B] to import a plain text file</translation>
        </message>
        <message>
            <source>导入B</source>
            <translation>Import B</translation>
        </message>
        <message>
            <source>比较</source>
            <translation>Compare</translation>
        </message>
        <message>
            <source>修改建议：</source>
            <translation>Suggested changes:</translation>
        </message>
    </context>
    <context>
        <name>PhoneticDialog</name>
        <message>
            <source>kestrelbox 听音查词 V1.2</source>
            <translation>kestrelbox Lookup by Sound V1.2</translation>
        </message>
        <message>
            <source>模糊查词</source>
            <translation>Approximate lookup</translation>
        </message>
        <message>
            <source>特殊音标符号</source>
            <translation>Special phonetic symbols</translation>
        </message>
        <message>
            <source>听音查词</source>
            <translation>Look up by sound</translation>
        </message>
        <message>
            <source>使用说明</source>
            <translation>How to use</translation>
        </message>
        <message>
            <source>输入音标，软件会根据读音搜索出单词，英式、美式读音均可！特殊音标点击左边的按钮，其它用键盘输入。
如输入 igzɑ:mpl 或 igzæmpl 即可查得 example</source>
            <translation>Type the sounds of a word, British or American, and the program finds it! Click the buttons on the left for the special symbols; type the others on the keyboard.
For example, igzɑ:mpl or igzæmpl finds example</translation>
        </message>
        <message>
            <source>输入单词的大致拼写，字母按顺序，可以漏掉几个，软件会搜索出相近的单词。
如输入 %1 即可查得 example</source>
            <translation>Type a word as you think it is spelt: its letters in order, some may be left out, and the program finds the words that come close.
For example, %1 finds example</translation>
        </message>
        <message>
            <source>英 %1</source>
            <translation>UK %1</translation>
        </message>
        <message>
            <source>美 %1</source>
            <translation>US %1</translation>
        </message>
    </context>
    <context>
        <name>TextEdit</name>
        <message>
            <source>&amp;SpellCheck</source>
            <translation>&amp;Spell Check</translation>
        </message>
        <message>
            <source>&amp;PhoneticLookup</source>
            <translation>&amp;Pronunciation Lookup</translation>
        </message>
        <message>
            <source>&amp;DiffText</source>
            <translation>&amp;Compare Texts</translation>
        </message>
    </context>
    <context>
        <name>Vk</name>
        <message>
            <source>Vantiro复读机软件</source>
            <translation>Vantiro Repeater</translation>
        </message>
    </context>
</TS>
