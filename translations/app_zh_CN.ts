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
    <name>ControlButton</name>
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
</TS>
