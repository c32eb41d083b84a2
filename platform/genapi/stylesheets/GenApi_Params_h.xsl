<?xml version="1.0" encoding="utf-8"?>
<!-- Turns a GenApi device description into a header of its feature names and
     the values of its enumerations. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="featurenodes.xsl"/>
  <xsl:output method="text" encoding="utf-8"/>

  <xsl:template match="/">
    <xsl:text>// Feature names and enumeration values of the </xsl:text>
    <xsl:value-of select="/*/@ModelName"/>
    <xsl:text> device description.&#10;// Generated from the description; changes are lost when it is generated again.&#10;#pragma once&#10;&#10;#include &lt;cstdint&gt;&#10;&#10;namespace </xsl:text>
    <xsl:value-of select="$model"/>
    <xsl:text>_Params {&#10;</xsl:text>
    <xsl:apply-templates select="$features[local-name() = 'Enumeration']" mode="enum"/>
    <xsl:text>&#10;struct FeatureNames {&#10;</xsl:text>
    <xsl:apply-templates select="$features" mode="name"/>
    <xsl:text>};&#10;&#10;}  // namespace </xsl:text>
    <xsl:value-of select="$model"/>
    <xsl:text>_Params&#10;</xsl:text>
  </xsl:template>

  <xsl:template match="*" mode="enum">
    <xsl:variable name="name">
      <xsl:call-template name="identifier">
        <xsl:with-param name="text" select="@Name"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:text>&#10;</xsl:text>
    <xsl:call-template name="comment"/>
    <xsl:value-of select="concat('enum ', $name, 'Enums : int64_t {&#10;')"/>
    <xsl:for-each select="*[local-name() = 'EnumEntry' and @Name]">
      <xsl:variable name="entry">
        <xsl:call-template name="identifier">
          <xsl:with-param name="text" select="@Name"/>
        </xsl:call-template>
      </xsl:variable>
      <xsl:value-of select="concat('  ', $name, '_', $entry)"/>
      <xsl:variable name="value" select="normalize-space(*[local-name() = 'Value'])"/>
      <xsl:if test="$value != ''">
        <xsl:value-of select="concat(' = ', $value)"/>
      </xsl:if>
      <xsl:text>,&#10;</xsl:text>
    </xsl:for-each>
    <xsl:text>};&#10;</xsl:text>
  </xsl:template>

  <xsl:template match="*" mode="name">
    <xsl:variable name="name">
      <xsl:call-template name="identifier">
        <xsl:with-param name="text" select="@Name"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:value-of select="concat('  static constexpr const char* ', $name, ' = &quot;', @Name, '&quot;;&#10;')"/>
  </xsl:template>

</xsl:stylesheet>
