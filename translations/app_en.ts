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
            <source>
  输入音标后，软件会根据读音，搜索出单词！

  特殊音标点击按钮，其它用键盘输入。

  如输入[igzɑ:mpl]即可查得example</source>
            <translation>
  Type the phonetic symbols of a word and the program finds the words that sound like it!

  Click the buttons for the special symbols; type the others on the keyboard.

  For example, [igzɑ:mpl] finds &quot;example&quot;.</translation>
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
