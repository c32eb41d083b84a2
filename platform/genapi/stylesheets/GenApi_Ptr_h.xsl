<?xml version="1.0" encoding="utf-8"?>
<!-- Turns a GenApi device description into a header of a class that holds a
     typed pointer to each of its features, taken from a node map. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="featurenodes.xsl"/>
  <xsl:output method="text" encoding="utf-8"/>

  <xsl:template match="/">
    <xsl:text>// Typed pointers to the features of the </xsl:text>
    <xsl:value-of select="/*/@ModelName"/>
    <xsl:text> device description.&#10;// Generated from the description; changes are lost when it is generated again.&#10;#pragma once&#10;&#10;#include "platform/genapi/genapi.h"&#10;&#10;namespace </xsl:text>
    <xsl:value-of select="$model"/>
    <xsl:text>_Ptr {&#10;&#10;// A pointer stays empty when the node map has no such feature.&#10;class C</xsl:text>
    <xsl:value-of select="$model"/>
    <xsl:text>Ptrs {&#10; public:&#10;  explicit C</xsl:text>
    <xsl:value-of select="$model"/>
    <xsl:text>Ptrs(GenApi::INodeMap&amp; nodeMap) {&#10;</xsl:text>
    <xsl:apply-templates select="$features" mode="take"/>
    <xsl:text>  }&#10;</xsl:text>
    <xsl:apply-templates select="$features" mode="member"/>
    <xsl:text>};&#10;&#10;}  // namespace </xsl:text>
    <xsl:value-of select="$model"/>
    <xsl:text>_Ptr&#10;</xsl:text>
  </xsl:template>

  <xsl:template match="*" mode="take">
    <xsl:variable name="name">
      <xsl:call-template name="identifier">
        <xsl:with-param name="text" select="@Name"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:value-of select="concat('    ', $name, ' = nodeMap.GetNode(&quot;', @Name, '&quot;);&#10;')"/>
  </xsl:template>

  <xsl:template match="*" mode="member">
    <xsl:variable name="name">
      <xsl:call-template name="identifier">
        <xsl:with-param name="text" select="@Name"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:text>&#10;</xsl:text>
    <xsl:call-template name="comment">
      <xsl:with-param name="indent" select="'  '"/>
    </xsl:call-template>
    <xsl:text>  </xsl:text>
    <xsl:call-template name="pointer-type"/>
    <xsl:value-of select="concat(' ', $name, ';&#10;')"/>
  </xsl:template>

</xsl:stylesheet>
