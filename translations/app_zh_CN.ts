<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
    <context>
        <name>AudioDecodeThread</name>
        <message>
            <source>AudioThread:: run.
</source>
            <translation>AudioThread:: 开始运行。
</translation>
        </message>
        <message>
            <source>AudioThread:: No more packets.
</source>
            <translation>AudioThread:: 没有更多数据包。
</translation>
        </message>
        <message>
            <source>AudioThread:: Flushing the buffers.
</source>
            <translation>AudioThread:: 正在清空缓冲区。
</translation>
        </message>
        <message>
            <source>AudioThread:: ended.
</source>
            <translation>AudioThread:: 已结束。
</translation>
        </message>
    </context>
    <context>
        <name>AccuracyPlot</name>
        <message>
            <source>Attempt %1, %2
Accuracy %3, word error rate %4
Words scored: %5</source>
            <translation>第 %1 次，%2
正确率 %3，词错误率 %4
评分词数：%5</translation>
        </message>
        <message>
            <source>No comparison of this lesson yet.
Compare your dictation with the reference and each score appears here.</source>
            <translation>这一课还没有比较过。
把你的听写与参考原文比较，每次的成绩都会显示在这里。</translation>
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
        <name>ControlButton</name>
        <message>
            <source>Play, or pause where you are (F5 or Space)</source>
            <translation>播放，或在当前位置暂停（F5 或空格键）</translation>
        </message>
        <message>
            <source>Stop and close the file; Play opens it again where you were</source>
            <translation>停止并关闭文件；再按播放会从原来的位置打开</translation>
        </message>
        <message>
            <source>Jump forward (Right arrow)</source>
            <translation>向前跳（右方向键）</translation>
        </message>
        <message>
            <source>Jump back (Left arrow)</source>
            <translation>向后跳（左方向键）</translation>
        </message>
        <message>
            <source>Move the start mark a little earlier (F1)</source>
            <translation>把起点标记稍微提前（F1）</translation>
        </message>
        <message>
            <source>Set the start mark here (F7)</source>
            <translation>在此处设置起点标记（F7）</translation>
        </message>
        <message>
            <source>Move the start mark a little later (F2)</source>
            <translation>把起点标记稍微推后（F2）</translation>
        </message>
        <message>
            <source>Move the end mark a little earlier (F3)</source>
            <translation>把终点标记稍微提前（F3）</translation>
        </message>
        <message>
            <source>Set the end mark here (F8)</source>
            <translation>在此处设置终点标记（F8）</translation>
        </message>
        <message>
            <source>Move the end mark a little later (F4)</source>
            <translation>把终点标记稍微推后（F4）</translation>
        </message>
        <message>
            <source>Remove the marks, so that the whole file plays</source>
            <translation>取消标记，播放整个文件</translation>
        </message>
        <message>
            <source>Loop from the beginning to the start mark (F6)</source>
            <translation>从开头循环到起点标记（F6）</translation>
        </message>
        <message>
            <source>Loop from the end mark to the end (F9)</source>
            <translation>从终点标记循环到结尾（F9）</translation>
        </message>
        <message>
            <source>Silence the sound, or bring it back</source>
            <translation>静音，或恢复声音</translation>
        </message>
        <message>
            <source>Volume: drag, or turn the mouse wheel over the player</source>
            <translation>音量：拖动，或在播放器上滚动鼠标滚轮</translation>
        </message>
        <message>
            <source>Show or hide the dictation editor</source>
            <translation>显示或隐藏听写编辑器</translation>
        </message>
        <message>
            <source>play/pause</source>
            <translation>播放/暂停</translation>
        </message>
        <message>
            <source>stop</source>
            <translation>停止</translation>
        </message>
        <message>
            <source>forward</source>
            <translation>快进</translation>
        </message>
        <message>
            <source>backward</source>
            <translation>快退</translation>
        </message>
        <message>
            <source>sharp tune start left</source>
            <translation>起点微调左移</translation>
        </message>
        <message>
            <source>set loop start</source>
            <translation>设置循环起点</translation>
        </message>
        <message>
            <source>sharp tune start right</source>
            <translation>起点微调右移</translation>
        </message>
        <message>
            <source>sharp tune end left</source>
            <translation>终点微调左移</translation>
        </message>
        <message>
            <source>set loop end</source>
            <translation>设置循环终点</translation>
        </message>
        <message>
            <source>sharp tune end right</source>
            <translation>终点微调右移</translation>
        </message>
        <message>
            <source>cancel loop</source>
            <translation>取消循环</translation>
        </message>
        <message>
            <source>reset loop from begin to current start</source>
            <translation>从开头循环到当前起点</translation>
        </message>
        <message>
            <source>reset loop from current end to end</source>
            <translation>从当前终点循环到结尾</translation>
        </message>
        <message>
            <source>volume silent</source>
            <translation>静音</translation>
        </message>
        <message>
            <source>volume control</source>
            <translation>音量调节</translation>
        </message>
        <message>
            <source>editor</source>
            <translation>编辑器</translation>
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
        <message>
            <source>Words (spacing and line breaks do not count):</source>
            <translation>单词（空格和换行不算错误）：</translation>
        </message>
        <message>
            <source>Compare to see the score.</source>
            <translation>点击[比较]查看得分。</translation>
        </message>
        <message>
            <source>Save with Dictation</source>
            <translation>与听写一起保存</translation>
        </message>
        <message>
            <source>Print...</source>
            <translation>打印...</translation>
        </message>
        <message>
            <source>Print Comparison</source>
            <translation>打印比较结果</translation>
        </message>
        <message>
            <source>Not saved.</source>
            <translation>未保存。</translation>
        </message>
        <message>
            <source>Saved at the end of %1.</source>
            <translation>已保存到 %1 的末尾。</translation>
        </message>
        <message>
            <source>Whole Lesson</source>
            <translation>整课得分</translation>
        </message>
        <message>
            <source>Score the whole reference, also the sentences not dictated yet</source>
            <translation>按整篇参考文本计分，包括还没听写的句子</translation>
        </message>
    </context>
    <context>
        <name>Media</name>
        <message>
            <source>Error opening %1:
Couldn't find any stream information in this file.</source>
            <translation>打开 %1 出错：
在此文件中找不到任何流信息。</translation>
        </message>
        <message>
            <source>Error opening %1:
Cannot allocate pictures buffer.</source>
            <translation>打开 %1 出错：
无法分配图像缓冲区。</translation>
        </message>
        <message>
            <source>Error opening %1:
Cannot create a suitable conversion context to RGB.</source>
            <translation>打开 %1 出错：
无法创建转换到 RGB 的转换上下文。</translation>
        </message>
        <message>
            <source>Error opening %1:
Incorrect numbered image sequence syntax.</source>
            <translation>打开 %1 出错：
编号图像序列的语法不正确。</translation>
        </message>
        <message>
            <source>Error opening %1:
Unknown format.</source>
            <translation>打开 %1 出错：
未知格式。</translation>
        </message>
        <message>
            <source>Error opening %1:
Error while parsing header.</source>
            <translation>打开 %1 出错：
解析文件头时出错。</translation>
        </message>
        <message>
            <source>Error opening %1:
Memory allocation error.</source>
            <translation>打开 %1 出错：
内存分配错误。</translation>
        </message>
        <message>
            <source>Error opening %1:
I/O error. Usually that means that input file is truncated and/or corrupted.</source>
            <translation>打开 %1 出错：
输入/输出错误。通常表示输入文件不完整或已损坏。</translation>
        </message>
        <message>
            <source>Error opening %1:
No such file.</source>
            <translation>打开 %1 出错：
文件不存在。</translation>
        </message>
        <message>
            <source>Error opening %1:
Couldn't open the file.</source>
            <translation>打开 %1 出错：
无法打开文件。</translation>
        </message>
        <message>
            <source>Error reading %1 !

Logs;
%2Decoding interupted. </source>
            <translation>读取 %1 出错！

日志：
%2解码已中断。</translation>
        </message>
        <message>
            <source>Playing speed set to %2.
</source>
            <translation>播放速度已设为 %2。
</translation>
        </message>
    </context>
    <context>
        <name>ParsingThread</name>
        <message>
            <source>ParsingThread:: run.
</source>
            <translation>ParsingThread:: 开始运行。
</translation>
        </message>
        <message>
            <source>ParsingThread:: Couldn't read frame.
</source>
            <translation>ParsingThread:: 无法读取帧。
</translation>
        </message>
        <message>
            <source>ParsingThread:: ended.
</source>
            <translation>ParsingThread:: 已结束。
</translation>
        </message>
        <message>
            <source>ParsingThread:: Seeking error.
</source>
            <translation>ParsingThread:: 定位出错。
</translation>
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
            <source>输入音标，软件会根据读音搜索出单词，英式、美式读音均可！特殊音标点击左边的按钮，其它用键盘输入。
如输入 igzɑ:mpl 或 igzæmpl 即可查得 example</source>
            <translation>输入音标，软件会根据读音搜索出单词，英式、美式读音均可！特殊音标点击左边的按钮，其它用键盘输入。
如输入 igzɑ:mpl 或 igzæmpl 即可查得 example</translation>
        </message>
        <message>
            <source>输入单词的大致拼写，字母按顺序，可以漏掉几个，软件会搜索出相近的单词。
如输入 %1 即可查得 example</source>
            <translation>输入单词的大致拼写，字母按顺序，可以漏掉几个，软件会搜索出相近的单词。
如输入 %1 即可查得 example</translation>
        </message>
        <message>
            <source>英 %1</source>
            <translation>英 %1</translation>
        </message>
        <message>
            <source>美 %1</source>
            <translation>美 %1</translation>
        </message>
        <message>
            <source>igzɑ:mpl</source>
            <translation>igzɑ:mpl</translation>
        </message>
    </context>
    <context>
        <name>ProgressView</name>
        <message>
            <source>Sentences by how often you got them wrong</source>
            <translation>按出错次数排列的句子</translation>
        </message>
        <message>
            <source>Progress</source>
            <translation>学习进度</translation>
        </message>
        <message>
            <source>No.</source>
            <translation>序号</translation>
        </message>
        <message>
            <source>Sentence</source>
            <translation>句子</translation>
        </message>
        <message>
            <source>Wrong</source>
            <translation>出错</translation>
        </message>
        <message>
            <source>No attempts yet.</source>
            <translation>还没有成绩。</translation>
        </message>
        <message>
            <source>Attempts since %1: %2. Latest accuracy %3, best %4.</source>
            <translation>自 %1 起共 %2 次。最近一次正确率 %3，最好 %4。</translation>
        </message>
        <message>
            <source>%1 Up %2 points since the first.</source>
            <translation>%1比第一次提高 %2 个百分点。</translation>
        </message>
        <message>
            <source>%1 Down %2 points since the first.</source>
            <translation>%1比第一次下降 %2 个百分点。</translation>
        </message>
        <message>
            <source>%1 of %2</source>
            <translation>%2 次中错 %1 次</translation>
        </message>
        <message>
            <source>Wrong in %1 of the %2 comparisons that reached it.
Errors in all: %3; the last time: %4</source>
            <translation>在听写到它的 %2 次比较中错了 %1 次。
共 %3 处错误；最近一次 %4 处</translation>
        </message>
        <message>
            <source>Practise</source>
            <translation>练习</translation>
        </message>
        <message>
            <source>Loop this sentence in the player</source>
            <translation>在播放器中循环播放这一句</translation>
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
        </message>
    </context>
    <context>
        <name>TextEdit</name>
        <message>
            <source>Progress on This Lesson...</source>
            <translation>本课学习进度...</translation>
        </message>
        <message>
            <source>Compare with reference (hold or right-click for your progress or a transcript)</source>
            <translation>与参考原文比较（按住或右击可查看学习进度或打开文稿）</translation>
        </message>
        <message>
            <source>Standard</source>
            <translation>标准</translation>
        </message>
        <message>
            <source>Bullet List (Disc)</source>
            <translation>项目符号列表（实心圆）</translation>
        </message>
        <message>
            <source>Bullet List (Circle)</source>
            <translation>项目符号列表（空心圆）</translation>
        </message>
        <message>
            <source>Bullet List (Square)</source>
            <translation>项目符号列表（方块）</translation>
        </message>
        <message>
            <source>Ordered List (Decimal)</source>
            <translation>编号列表（数字）</translation>
        </message>
        <message>
            <source>Ordered List (Alpha lower)</source>
            <translation>编号列表（小写字母）</translation>
        </message>
        <message>
            <source>Ordered List (Alpha upper)</source>
            <translation>编号列表（大写字母）</translation>
        </message>
        <message>
            <source>Ordered List (Roman lower)</source>
            <translation>编号列表（小写罗马数字）</translation>
        </message>
        <message>
            <source>Ordered List (Roman upper)</source>
            <translation>编号列表（大写罗马数字）</translation>
        </message>
        <message>
            <source>Export PDF</source>
            <translation>导出 PDF</translation>
        </message>
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
            <source>Compare with reference</source>
            <translation>与参考文本比较</translation>
        </message>
        <message>
            <source>Choose the Reference</source>
            <translation>选择参考文本</translation>
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
        <message>
            <source>Dictation</source>
            <translation>听写</translation>
        </message>
        <message>
            <source>The dictation %1 cannot be read.
It is left as it is. A new, untitled dictation is started; Save asks where to keep it.</source>
            <translation>无法读取听写文件 %1。
该文件保持原样。已新建一份未命名的听写；保存时会询问存放位置。</translation>
        </message>
        <message>
            <source>Open Transcript...</source>
            <translation>打开文稿...</translation>
        </message>
    </context>
    <context>
        <name>VideoDecodeThread</name>
        <message>
            <source>VideoDecodeThread:: run.
</source>
            <translation>VideoDecodeThread:: 开始运行。
</translation>
        </message>
        <message>
            <source>VideoDecodeThread:: No more packets.
</source>
            <translation>VideoDecodeThread:: 没有更多数据包。
</translation>
        </message>
        <message>
            <source>VideoDecodeThread:: Flushing the buffers.
</source>
            <translation>VideoDecodeThread:: 正在清空缓冲区。
</translation>
        </message>
        <message>
            <source>DecodingThread:: ended.
</source>
            <translation>DecodingThread:: 已结束。
</translation>
        </message>
    </context>
    <context>
        <name>Vk</name>
        <message>
            <source>Progress on This Lesson...</source>
            <translation>本课学习进度...</translation>
        </message>
        <message>
            <source>No sound can be played: the sound output could not be opened.
Check that a sound device or sound server is running. The lesson plays on without sound meanwhile.</source>
            <translation>无法播放声音：声音输出无法打开。
请检查声音设备或声音服务是否在运行。在此期间课程会无声地继续播放。</translation>
        </message>
        <message>
            <source>Playing speed, with the pitch kept: Alt+Page Up faster, Alt+Page Down slower, Alt+End normal</source>
            <translation>播放速度（音调不变）：Alt+Page Up 加快，Alt+Page Down 放慢，Alt+End 恢复正常</translation>
        </message>
        <message>
            <source>Speed</source>
            <translation>速度</translation>
        </message>
        <message>
            <source>%1 (normal)</source>
            <translation>%1（正常）</translation>
        </message>
        <message>
            <source>Vantiro复读机软件</source>
            <translation>Vantiro复读机软件</translation>
        </message>
        <message>
            <source>Open</source>
            <translation>打开</translation>
        </message>
        <message>
            <source>Full Screen</source>
            <translation>全屏</translation>
        </message>
        <message>
            <source>Keep Aspect Ratio</source>
            <translation>保持纵横比</translation>
        </message>
        <message>
            <source>Help</source>
            <translation>帮助</translation>
        </message>
        <message>
            <source>Quit</source>
            <translation>退出</translation>
        </message>
        <message>
            <source>Mi&amp;nimize</source>
            <translation>最小化(&amp;N)</translation>
        </message>
        <message>
            <source>&amp;Restore</source>
            <translation>还原(&amp;R)</translation>
        </message>
        <message>
            <source>&amp;Quit</source>
            <translation>退出(&amp;Q)</translation>
        </message>
        <message>
            <source>Open File</source>
            <translation>打开文件</translation>
        </message>
        <message>
            <source>Media (*.mov *.avi *.wmv *.mpeg *.mp4 *.mpg *.vob *.swf *.flv *.rmvb *.rm *.mp3 *.mkv *.wma *.wav *.flac *.m4a *.aac *.ogg *.oga *.opus *.webm *.ts *.m2ts)</source>
            <translation>媒体文件 (*.mov *.avi *.wmv *.mpeg *.mp4 *.mpg *.vob *.swf *.flv *.rmvb *.rm *.mp3 *.mkv *.wma *.wav *.flac *.m4a *.aac *.ogg *.oga *.opus *.webm *.ts *.m2ts)</translation>
        </message>
        <message>
            <source>All files (*)</source>
            <translation>所有文件 (*)</translation>
        </message>
        <message>
            <source>Error opening %1:
The file holds no sound or picture that can be played.</source>
            <translation>打开 %1 时出错：
文件中没有可以播放的声音或图像。</translation>
        </message>
        <message>
            <source>Recent Files</source>
            <translation>最近打开的文件</translation>
        </message>
        <message>
            <source>The file %1 cannot be found.</source>
            <translation>找不到文件 %1。</translation>
        </message>
        <message>
            <source>The file %1 is no longer there; it has been taken off the list of recent files.</source>
            <translation>文件 %1 已不存在，已将其从最近打开的文件列表中移除。</translation>
        </message>
        <message>
            <source>Preferences...</source>
            <translation>首选项...</translation>
        </message>
        <message>
            <source>Keys at a Glance</source>
            <translation>按键一览</translation>
        </message>
    </context>
    <context>
        <name>WordReport</name>
        <message>
            <source>word</source>
            <translation>所写</translation>
        </message>
        <message>
            <source>right</source>
            <translation>正确</translation>
        </message>
        <message>
            <source>Missing word: in the reference, not in your dictation</source>
            <translation>漏掉的词：参考文本中有，你的听写中没有</translation>
        </message>
        <message>
            <source>Extra word: in your dictation, not in the reference</source>
            <translation>多余的词：你的听写中有，参考文本中没有</translation>
        </message>
        <message>
            <source>Wrong word: yours struck out, then the right one</source>
            <translation>错词：划掉的是你写的，后面是正确的词</translation>
        </message>
        <message>
            <source>Spelling slip: a word the spell checker does not know, at most two letters away from the right one</source>
            <translation>拼写错误：拼写检查器不认识的词，与正确的词最多相差两个字母</translation>
        </message>
        <message>
            <source>%1 reference words: %2 correct, %3 wrong, %4 spelling slips, %5 missing, %6 extra. Word error rate %7, accuracy %8.</source>
            <translation>参考文本共 %1 个词：正确 %2 个，错词 %3 个，拼写错误 %4 个，漏掉 %5 个，多余 %6 个。词错误率 %7，准确率 %8。</translation>
        </message>
        <message>
            <source>Scored over the whole lesson of %1 sentences.</source>
            <translation>按整课 %1 个句子计分。</translation>
        </message>
        <message>
            <source>Scored up to sentence %1 of %2, the last one your dictation reaches.</source>
            <translation>计分到第 %1 句（共 %2 句），即你的听写写到的最后一句。</translation>
        </message>
        <message>
            <source>#</source>
            <translation>#</translation>
        </message>
        <message>
            <source>Reference</source>
            <translation>参考文本</translation>
        </message>
        <message>
            <source>Your words</source>
            <translation>你的听写</translation>
        </message>
        <message>
            <source>Correct</source>
            <translation>正确</translation>
        </message>
        <message>
            <source>Wrong</source>
            <translation>错词</translation>
        </message>
        <message>
            <source>Spelling</source>
            <translation>拼写</translation>
        </message>
        <message>
            <source>Missing</source>
            <translation>漏掉</translation>
        </message>
        <message>
            <source>Extra</source>
            <translation>多余</translation>
        </message>
        <message>
            <source>Error rate</source>
            <translation>错误率</translation>
        </message>
        <message>
            <source>Total</source>
            <translation>合计</translation>
        </message>
        <message>
            <source>Comparison with the reference</source>
            <translation>与参考文本的比较</translation>
        </message>
    </context>
    <context>
        <name>referencefile</name>
        <message>
            <source>%1 cannot be opened.</source>
            <translation>无法打开 %1。</translation>
        </message>
        <message>
            <source>%1 is not a text file.</source>
            <translation>%1 不是文本文件。</translation>
        </message>
        <message>
            <source>Texts and subtitles (*.txt *.html *.htm *.srt *.vtt *.ass *.ssa);;All Files (*)</source>
            <translation>文本和字幕 (*.txt *.html *.htm *.srt *.vtt *.ass *.ssa);;所有文件 (*)</translation>
        </message>
    </context>
    <context>
        <name>Subtitles</name>
        <message>
            <source>Subtitles (*.srt *.vtt *.ass *.ssa)</source>
            <translation>字幕文件 (*.srt *.vtt *.ass *.ssa)</translation>
        </message>
        <message>
            <source>Cannot read %1:
%2.</source>
            <translation>无法读取 %1：
%2。</translation>
        </message>
        <message>
            <source>%1 is too large to be a subtitle file.</source>
            <translation>%1 太大，不是字幕文件。</translation>
        </message>
        <message>
            <source>%1 is not a subtitle file.</source>
            <translation>%1 不是字幕文件。</translation>
        </message>
        <message>
            <source>Out of memory reading %1.</source>
            <translation>读取 %1 时内存不足。</translation>
        </message>
        <message>
            <source>%1 holds no subtitles.</source>
            <translation>%1 中没有字幕。</translation>
        </message>
    </context>
    <context>
        <name>SentenceSplitter</name>
        <message>
            <source>Cannot find the sentences of %1: %2</source>
            <translation>无法找出 %1 中的句子：%2</translation>
        </message>
        <message>
            <source>the file cannot be opened.</source>
            <translation>文件无法打开。</translation>
        </message>
        <message>
            <source>the file cannot be read.</source>
            <translation>文件无法读取。</translation>
        </message>
        <message>
            <source>it has no sound.</source>
            <translation>文件中没有声音。</translation>
        </message>
        <message>
            <source>its sound cannot be decoded.</source>
            <translation>声音无法解码。</translation>
        </message>
        <message>
            <source>out of memory.</source>
            <translation>内存不足。</translation>
        </message>
    </context>
    <context>
        <name>WaveformStrip</name>
        <message>
            <source>Reading the sound...</source>
            <translation>正在读取声音……</translation>
        </message>
    </context>
    <context>
        <name>WaveformPractice</name>
        <message>
            <source>Show Waveform</source>
            <translation>显示波形</translation>
        </message>
    </context>
    <context>
        <name>SentencePractice</name>
        <message>
            <source>1 cue with a broken time in %1 was skipped.</source>
            <translation>%1 中有 1 条时间有误的字幕，已跳过。</translation>
        </message>
        <message>
            <source>%1 cues with broken times in %2 were skipped.</source>
            <translation>%2 中有 %1 条时间有误的字幕，已跳过。</translation>
        </message>
        <message>
            <source>List of Sentences...</source>
            <translation>句子列表...</translation>
        </message>
        <message>
            <source>Paused after sentence %1: F5 goes on</source>
            <translation>第 %1 句后已暂停：按 F5 继续</translation>
        </message>
        <message>
            <source>The subtitles %1 beside the lesson cannot be read:
%2
The sentences are found in the sound instead.</source>
            <translation>课程旁的字幕 %1 无法读取：
%2
将改为从声音中查找句子。</translation>
        </message>
        <message>
            <source>Finding the sentences...</source>
            <translation>正在查找句子...</translation>
        </message>
        <message>
            <source>Sentence %1 (%2 s)</source>
            <translation>第 %1 句（%2 秒）</translation>
        </message>
        <message>
            <source>Open Subtitles...</source>
            <translation>打开字幕...</translation>
        </message>
        <message>
            <source>Open Subtitles</source>
            <translation>打开字幕</translation>
        </message>
        <message>
            <source>Previous Sentence</source>
            <translation>上一句</translation>
        </message>
        <message>
            <source>Next Sentence</source>
            <translation>下一句</translation>
        </message>
        <message>
            <source>Replay Sentence</source>
            <translation>重播本句</translation>
        </message>
        <message>
            <source>Show Sentence Text</source>
            <translation>显示本句文字</translation>
        </message>
        <message>
            <source>Join With Next Sentence</source>
            <translation>与下一句合并</translation>
        </message>
        <message>
            <source>Split Sentence Here</source>
            <translation>在此处拆分句子</translation>
        </message>
        <message>
            <source>Loop Sentence</source>
            <translation>循环本句</translation>
        </message>
        <message>
            <source>Pause After Each Sentence</source>
            <translation>每句后暂停</translation>
        </message>
        <message>
            <source>Hide Sentence Text</source>
            <translation>隐藏句子文字</translation>
        </message>
        <message>
            <source>Once</source>
            <translation>一遍</translation>
        </message>
        <message numerus="yes">
            <source>%n Times</source>
            <translation>
                <numerusform>%n 遍</numerusform>
            </translation>
        </message>
        <message>
            <source>%1 ms</source>
            <translation>%1 毫秒</translation>
        </message>
        <message>
            <source>Sentences</source>
            <translation>句子</translation>
        </message>
        <message>
            <source>Play Each Sentence</source>
            <translation>每句播放</translation>
        </message>
        <message>
            <source>Loop Padding</source>
            <translation>循环前后留白</translation>
        </message>
        <message>
            <source>Shortest Pause Between Sentences</source>
            <translation>句间最短停顿</translation>
        </message>
        <message>
            <source>Open Transcript...</source>
            <translation>打开文稿...</translation>
        </message>
        <message>
            <source>Save Sentences as Subtitles...</source>
            <translation>将句子保存为字幕...</translation>
        </message>
        <message>
            <source>Open Transcript</source>
            <translation>打开文稿</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>取消</translation>
        </message>
        <message>
            <source>Aligning %1 with the sound...</source>
            <translation>正在将 %1 与声音对齐...</translation>
        </message>
        <message>
            <source>%1 lies beside this lesson. Align it with the sound and practise its sentences?</source>
            <translation>本课旁边有 %1。要将它与声音对齐并逐句练习吗？</translation>
        </message>
        <message>
            <source>Save Sentences as Subtitles</source>
            <translation>将句子保存为字幕</translation>
        </message>
        <message>
            <source>SubRip subtitles (*.srt)</source>
            <translation>SubRip 字幕 (*.srt)</translation>
        </message>
        <message>
            <source>Cannot save %1: %2</source>
            <translation>无法保存 %1：%2</translation>
        </message>
        <message>
            <source>1 sentence of the transcript could not be found in the sound and was left out:</source>
            <translation>文稿中有 1 个句子在声音里找不到，已略去：</translation>
        </message>
        <message>
            <source>%1 sentences of the transcript could not be found in the sound and were left out:</source>
            <translation>文稿中有 %1 个句子在声音里找不到，已略去：</translation>
        </message>
        <message>
            <source>and %1 more.</source>
            <translation>另有 %1 个。</translation>
        </message>
        <message>
            <source>None of the transcript's sentences could be found in the sound.</source>
            <translation>在声音里找不到文稿中的任何句子。</translation>
        </message>
    </context>
    <context>
        <name>PreferencesDialog</name>
        <message>
            <source> time</source>
            <translation> 次</translation>
        </message>
        <message>
            <source>once</source>
            <translation>一次</translation>
        </message>
        <message>
            <source> ms</source>
            <translation> 毫秒</translation>
        </message>
        <message>
            <source>Sound kept before and after each sentence, so that its first and last words are heard whole</source>
            <translation>每句前后多保留的声音，使首尾的词能听完整</translation>
        </message>
        <message>
            <source>Margin around a sentence:</source>
            <translation>句子前后余量：</translation>
        </message>
        <message>
            <source>Play each sentence:</source>
            <translation>每句播放：</translation>
        </message>
        <message>
            <source>Pause after each sentence</source>
            <translation>每句后暂停</translation>
        </message>
        <message>
            <source>Preferences</source>
            <translation>首选项</translation>
        </message>
        <message>
            <source>Rewind on resume:</source>
            <translation>继续播放时后退：</translation>
        </message>
        <message>
            <source>Jump length:</source>
            <translation>跳转长度：</translation>
        </message>
        <message>
            <source>Short replay:</source>
            <translation>短回放：</translation>
        </message>
        <message>
            <source>Mark nudge step:</source>
            <translation>标记微调步长：</translation>
        </message>
        <message>
            <source>endlessly</source>
            <translation>无限次</translation>
        </message>
        <message>
            <source> times</source>
            <translation> 次</translation>
        </message>
        <message>
            <source>Play a marked passage:</source>
            <translation>标记段落播放：</translation>
        </message>
        <message>
            <source>Speed of a new file:</source>
            <translation>新文件的播放速度：</translation>
        </message>
        <message>
            <source> s</source>
            <translation> 秒</translation>
        </message>
    </context>
    <context>
        <name>KeysDialog</name>
        <message>
            <source>Alt+Page Up / Alt+Page Down</source>
            <translation>Alt+Page Up / Alt+Page Down</translation>
        </message>
        <message>
            <source>Play faster or slower, with the pitch kept</source>
            <translation>加快或放慢播放，音调不变</translation>
        </message>
        <message>
            <source>Alt+End</source>
            <translation>Alt+End</translation>
        </message>
        <message>
            <source>Play at normal speed</source>
            <translation>恢复正常速度</translation>
        </message>
        <message>
            <source>Alt+Right / Alt+Left</source>
            <translation>Alt+右 / Alt+左</translation>
        </message>
        <message>
            <source>Next or previous sentence</source>
            <translation>下一句或上一句</translation>
        </message>
        <message>
            <source>Alt+Up</source>
            <translation>Alt+上</translation>
        </message>
        <message>
            <source>Hear the current sentence once more</source>
            <translation>再听一遍当前句子</translation>
        </message>
        <message>
            <source>Alt+Down</source>
            <translation>Alt+下</translation>
        </message>
        <message>
            <source>Loop the current sentence, or stop looping it</source>
            <translation>循环当前句子，或停止循环</translation>
        </message>
        <message>
            <source>Alt+Home</source>
            <translation>Alt+Home</translation>
        </message>
        <message>
            <source>Show or hide the current sentence's text</source>
            <translation>显示或隐藏当前句子的文字</translation>
        </message>
        <message>
            <source>Keys at a Glance</source>
            <translation>按键一览</translation>
        </message>
        <message>
            <source>Key</source>
            <translation>按键</translation>
        </message>
        <message>
            <source>Where</source>
            <translation>窗口</translation>
        </message>
        <message>
            <source>What it does</source>
            <translation>作用</translation>
        </message>
        <message>
            <source>player and editor</source>
            <translation>播放器和编辑器</translation>
        </message>
        <message>
            <source>player</source>
            <translation>播放器</translation>
        </message>
        <message>
            <source>editor</source>
            <translation>编辑器</translation>
        </message>
        <message>
            <source>Space</source>
            <translation>空格</translation>
        </message>
        <message>
            <source>Play or hold; resuming goes back a little</source>
            <translation>播放或暂停；继续播放时稍微后退</translation>
        </message>
        <message>
            <source>Left / Right</source>
            <translation>左 / 右方向键</translation>
        </message>
        <message>
            <source>Jump back or forward (30 s unless set otherwise)</source>
            <translation>后退或前进（默认 30 秒）</translation>
        </message>
        <message>
            <source>F12, Backspace</source>
            <translation>F12、退格键</translation>
        </message>
        <message>
            <source>player (F12 also in the editor)</source>
            <translation>播放器（F12 在编辑器中也可用）</translation>
        </message>
        <message>
            <source>Short replay: back 3 s unless set otherwise</source>
            <translation>短回放：后退（默认 3 秒）</translation>
        </message>
        <message>
            <source>Move the start mark back or forward by a tenth of a second</source>
            <translation>将起点标记前后移动十分之一秒</translation>
        </message>
        <message>
            <source>Move the end mark back or forward by a tenth of a second</source>
            <translation>将终点标记前后移动十分之一秒</translation>
        </message>
        <message>
            <source>Loop from the file's start to the current start mark</source>
            <translation>从文件开头循环到当前起点标记</translation>
        </message>
        <message>
            <source>Set the start mark here</source>
            <translation>在此处设置起点标记</translation>
        </message>
        <message>
            <source>Set the end mark here</source>
            <translation>在此处设置终点标记</translation>
        </message>
        <message>
            <source>Loop from the current end mark to the file's end</source>
            <translation>从当前终点标记循环到文件结尾</translation>
        </message>
        <message>
            <source>Mouse wheel</source>
            <translation>鼠标滚轮</translation>
        </message>
        <message>
            <source>Ctrl++ / Ctrl+-, Ctrl+mouse wheel</source>
            <translation>Ctrl++ / Ctrl+-，Ctrl+鼠标滚轮</translation>
        </message>
        <message>
            <source>Zoom the waveform in or out</source>
            <translation>放大或缩小波形</translation>
        </message>
        <message>
            <source>Shift while dragging on the waveform</source>
            <translation>在波形上拖动时按住 Shift</translation>
        </message>
        <message>
            <source>Place a mark exactly, not on the nearest pause</source>
            <translation>把标记放在确切位置，不吸附到最近的停顿</translation>
        </message>
        <message>
            <source>Louder or softer</source>
            <translation>调大或调小音量</translation>
        </message>
        <message>
            <source>Esc</source>
            <translation>Esc</translation>
        </message>
        <message>
            <source>Leave full screen</source>
            <translation>退出全屏</translation>
        </message>
        <message>
            <source>Ctrl+N, Ctrl+O, Ctrl+S</source>
            <translation>Ctrl+N、Ctrl+O、Ctrl+S</translation>
        </message>
        <message>
            <source>New, open and save a dictation</source>
            <translation>新建、打开和保存听写</translation>
        </message>
        <message>
            <source>Ctrl+P, Ctrl+D</source>
            <translation>Ctrl+P、Ctrl+D</translation>
        </message>
        <message>
            <source>Print, export as PDF</source>
            <translation>打印、导出为 PDF</translation>
        </message>
        <message>
            <source>Ctrl+Z, Ctrl+Shift+Z</source>
            <translation>Ctrl+Z、Ctrl+Shift+Z</translation>
        </message>
        <message>
            <source>Undo, redo</source>
            <translation>撤销、重做</translation>
        </message>
        <message>
            <source>Ctrl+X, Ctrl+C, Ctrl+V</source>
            <translation>Ctrl+X、Ctrl+C、Ctrl+V</translation>
        </message>
        <message>
            <source>Cut, copy, paste</source>
            <translation>剪切、复制、粘贴</translation>
        </message>
        <message>
            <source>Ctrl+B, Ctrl+I, Ctrl+U</source>
            <translation>Ctrl+B、Ctrl+I、Ctrl+U</translation>
        </message>
        <message>
            <source>Bold, italic, underline</source>
            <translation>粗体、斜体、下划线</translation>
        </message>
        <message>
            <source>Ctrl+L, Ctrl+E, Ctrl+R, Ctrl+J</source>
            <translation>Ctrl+L、Ctrl+E、Ctrl+R、Ctrl+J</translation>
        </message>
        <message>
            <source>Left, centred, right and justified paragraphs</source>
            <translation>段落左对齐、居中、右对齐、两端对齐</translation>
        </message>
        <message>
            <source>Reach the player while you type</source>
            <translation>打字时也能控制播放器</translation>
        </message>
    </context>
    <context>
        <name>startup</name>
        <message>
            <source>The player is already running but does not answer.
Quit it from its tray icon, or end it, and start it again.</source>
            <translation>播放器已在运行，但没有响应。
请从托盘图标退出它（或结束它），然后重新启动。</translation>
        </message>
        <message>
            <source>The player is already running but does not answer, so it could not open %1.
Quit it from its tray icon, or end it, and open the file again.</source>
            <translation>播放器已在运行，但没有响应，因此无法打开 %1。
请从托盘图标退出它（或结束它），然后重新打开该文件。</translation>
        </message>
        <message>
            <source>Vantiro</source>
            <translation>Vantiro</translation>
        </message>
    </context>
    <context>
        <name>SentenceList</name>
        <message>
            <source>Sentences</source>
            <translation>句子</translation>
        </message>
        <message>
            <source>%1.  %2 – %3</source>
            <translation>%1.  %2 – %3</translation>
        </message>
        <message>
            <source>You revealed this sentence&apos;s text; click to loop it</source>
            <translation>你看过这句的文字；单击循环播放此句</translation>
        </message>
        <message>
            <source>Click to loop this sentence</source>
            <translation>单击循环播放此句</translation>
        </message>
    </context>
    <context>
        <name>SpeechSynthesis</name>
        <message>
            <source>The speech synthesiser (espeak-ng) cannot be started.</source>
            <translation>无法启动语音合成器 (espeak-ng)。</translation>
        </message>
        <message>
            <source>The synthesised speech cannot be converted.</source>
            <translation>无法转换合成的语音。</translation>
        </message>
    </context>
    <context>
        <name>Transcript</name>
        <message>
            <source>The transcript holds no words.</source>
            <translation>文稿中没有任何单词。</translation>
        </message>
        <message>
            <source>Cannot read the transcript %1: %2</source>
            <translation>无法读取文稿 %1：%2</translation>
        </message>
        <message>
            <source>The transcript %1 holds no words.</source>
            <translation>文稿 %1 中没有任何单词。</translation>
        </message>
        <message>
            <source>Transcripts (*.txt *.html *.htm);;All files (*)</source>
            <translation>文稿 (*.txt *.html *.htm);;所有文件 (*)</translation>
        </message>
    </context>
    <context>
        <name>TranscriptAligner</name>
        <message>
            <source>the file cannot be opened.</source>
            <translation>无法打开该文件。</translation>
        </message>
        <message>
            <source>the file cannot be read.</source>
            <translation>无法读取该文件。</translation>
        </message>
        <message>
            <source>it has no sound.</source>
            <translation>它没有声音。</translation>
        </message>
        <message>
            <source>its sound cannot be decoded.</source>
            <translation>无法解码它的声音。</translation>
        </message>
        <message>
            <source>out of memory.</source>
            <translation>内存不足。</translation>
        </message>
        <message>
            <source>Cannot align the transcript with %1: %2</source>
            <translation>无法将文稿与 %1 对齐：%2</translation>
        </message>
        <message>
            <source>the transcript holds no words.</source>
            <translation>文稿中没有任何单词。</translation>
        </message>
        <message>
            <source>the recording is too long to align at once.</source>
            <translation>录音太长，无法一次对齐。</translation>
        </message>
    </context>
</TS>
