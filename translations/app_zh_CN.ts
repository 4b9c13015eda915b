<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Vk</name>
    <message>
        <source>Vantiro复读机软件</source>
        <translation>Vantiro复读机软件</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>退出</translation>
    </message>
</context>
<context>
    <name>CTextCheckerEdit</name>
    <message>
        <source>&amp;Copy</source>
        <translation>复制(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Cut</source>
        <translation>剪切(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>粘贴(&amp;P)</translation>
    </message>
    <message>
        <source>Add to dictionary</source>
        <translation>添加到词典</translation>
    </message>
</context>
<context>
    <name>TextEdit</name>
    <message>
        <source>File Actions</source>
        <translation>文件操作</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>新建(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>打开(&amp;O)...</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Print...</source>
        <translation>打印(&amp;P)...</translation>
    </message>
    <message>
        <source>&amp;Export PDF...</source>
        <translation>导出 PDF(&amp;E)...</translation>
    </message>
    <message>
        <source>Edit Actions</source>
        <translation>编辑操作</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>撤销(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>重做(&amp;R)</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>剪切(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>复制(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Cut</source>
        <translation>剪切(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>粘贴(&amp;P)</translation>
    </message>
    <message>
        <source>Vantiro Actions</source>
        <translation>Vantiro 工具</translation>
    </message>
    <message>
        <source>&amp;SpellCheck</source>
        <translation>拼写检查(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;PhoneticLookup</source>
        <translation>听音查词(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;DiffText</source>
        <translation>文本比较(&amp;D)</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>The spell check has finished.</source>
        <translation>拼写检查已完成。</translation>
    </message>
    <message>
        <source>Application</source>
        <translation>应用程序</translation>
    </message>
    <message>
        <source>The document has been modified.
Do you want to save your changes?</source>
        <translation>文档已被修改。
要保存更改吗？</translation>
    </message>
    <message>
        <source>%1[*] - %2</source>
        <translation>%1[*] - %2</translation>
    </message>
    <message>
        <source>Rich Text</source>
        <translation>富文本</translation>
    </message>
    <message>
        <source>Open File...</source>
        <translation>打开文件...</translation>
    </message>
    <message>
        <source>HTML-Files (*.htm *.html);;All Files (*)</source>
        <translation>HTML 文件 (*.htm *.html);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Save as...</source>
        <translation>另存为...</translation>
    </message>
    <message>
        <source>Rich text (*.rtf);;Text files (*.txt);;ODF files (*.odt);;HTML-Files (*.htm *.html);;All Files (*)</source>
        <translation>富文本 (*.rtf);;文本文件 (*.txt);;ODF 文件 (*.odt);;HTML 文件 (*.htm *.html);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Print Document</source>
        <translation>打印文档</translation>
    </message>
    <message>
        <source>Format Actions</source>
        <translation>格式操作</translation>
    </message>
    <message>
        <source>&amp;Bold</source>
        <translation>粗体(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Italic</source>
        <translation>斜体(&amp;I)</translation>
    </message>
    <message>
        <source>&amp;Underline</source>
        <translation>下划线(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Left</source>
        <translation>左对齐(&amp;L)</translation>
    </message>
    <message>
        <source>C&amp;enter</source>
        <translation>居中(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Right</source>
        <translation>右对齐(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Justify</source>
        <translation>两端对齐(&amp;J)</translation>
    </message>
    <message>
        <source>&amp;Color...</source>
        <translation>颜色(&amp;C)...</translation>
    </message>
</context>
<context>
    <name>SpellCheckDialog</name>
    <message>
        <source>Spell Checker</source>
        <translation>拼写检查</translation>
    </message>
    <message>
        <source>unknown word:</source>
        <translation>未知单词：</translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation>TextLabel</translation>
    </message>
    <message>
        <source>&lt;&lt; add to dictionary</source>
        <translation>&lt;&lt; 加入词典</translation>
    </message>
    <message>
        <source>replace with:</source>
        <translation>替换为：</translation>
    </message>
    <message>
        <source>replace once</source>
        <translation>替换一次</translation>
    </message>
    <message>
        <source>replace all</source>
        <translation>全部替换</translation>
    </message>
    <message>
        <source>ignore once</source>
        <translation>忽略一次</translation>
    </message>
    <message>
        <source>ignore all</source>
        <translation>全部忽略</translation>
    </message>
    <message>
        <source>cancel</source>
        <translation>取消</translation>
        <source>Add to dictionary</source>
        <translation>添加到词典</translation>
    </message>
</context>
<context>
    <name>DiffDialog</name>
    <message>
        <source>文本比较</source>
        <translation>文本比较</translation>
    </message>
    <message>
        <source>对比文本A：
请输入或[Ctrl+V]粘贴或点击[导入A]按钮导入纯文本文件</source>
        <translation>对比文本A：
请输入或[Ctrl+V]粘贴或点击[导入A]按钮导入纯文本文件</translation>
    </message>
    <message>
        <source>导入A</source>
        <translation>导入A</translation>
    </message>
    <message>
        <source>对比文本B：
请输入或[Ctrl+V]粘贴或点击[导入B]按钮导入纯文本文件</source>
        <translation>对比文本B：
请输入或[Ctrl+V]粘贴或点击[导入B]按钮导入纯文本文件</translation>
    </message>
    <message>
        <source>导入B</source>
        <translation>导入B</translation>
    </message>
    <message>
        <source>比较</source>
        <translation>比较</translation>
    </message>
    <message>
        <source>修改建议：</source>
        <translation>修改建议：</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>*.txt</source>
        <translation>*.txt</translation>
    </message>
</context>
<context>
    <name>PhoneticDialog</name>
    <message>
        <source>kestrelbox 听音查词 V1.2</source>
        <translation>kestrelbox 听音查词 V1.2</translation>
    </message>
    <message>
        <source>模糊查词</source>
        <translation>模糊查词</translation>
    </message>
    <message>
        <source>特殊音标符号</source>
        <translation>特殊音标符号</translation>
    </message>
    <message>
        <source>ŋ</source>
        <translation>ŋ</translation>
    </message>
    <message>
        <source>θ</source>
        <translation>θ</translation>
    </message>
    <message>
        <source>ð</source>
        <translation>ð</translation>
    </message>
    <message>
        <source>ɑ</source>
        <translation>ɑ</translation>
    </message>
    <message>
        <source>ʌ</source>
        <translation>ʌ</translation>
    </message>
    <message>
        <source>ɛ</source>
        <translation>ɛ</translation>
    </message>
    <message>
        <source>ɔ</source>
        <translation>ɔ</translation>
    </message>
    <message>
        <source>æ</source>
        <translation>æ</translation>
    </message>
    <message>
        <source>ə</source>
        <translation>ə</translation>
    </message>
    <message>
        <source>ɡ</source>
        <translation>ɡ</translation>
    </message>
    <message>
        <source>ʃ</source>
        <translation>ʃ</translation>
    </message>
    <message>
        <source>ʒ</source>
        <translation>ʒ</translation>
    </message>
    <message>
        <source>听音查词</source>
        <translation>听音查词</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>使用说明</translation>
    </message>
    <message>
        <source>
  输入音标后，软件会根据读音，搜索出单词！

  特殊音标点击按钮，其它用键盘输入。

  如输入[igzɑ:mpl]即可查得example</source>
        <translation>
  输入音标后，软件会根据读音，搜索出单词！

  特殊音标点击按钮，其它用键盘输入。

  如输入[igzɑ:mpl]即可查得example</translation>
    </message>
    <message>
        <source>igzɑ:mpl</source>
        <translation>igzɑ:mpl</translation>
    </message>
</context>
</TS>
